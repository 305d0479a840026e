#include "video/video_pipeline.h"

#include <algorithm>
#include <chrono>

#include "core/log.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "video/sps_colour.h"

namespace tov {
namespace {

constexpr int64_t kIntervalMicros = 1000000;
// Far more than any decoder holds back in low-latency mode (one or two pictures).
constexpr size_t kMaxFedWaiting = 16;

}  // namespace

VideoPipeline::VideoPipeline(FrameDecoder& decoder, FramePresenter& presenter, Callbacks callbacks,
                             Clock clock)
    : decoder_(decoder),
      presenter_(presenter),
      callbacks_(std::move(callbacks)),
      clock_(clock ? std::move(clock) : Clock(nowMicros)) {}

void VideoPipeline::setStreamName(const std::string& name) {
    streamName_ = name;
    tag_ = logTag("video", name);
    csvName_ = name.empty() ? L"frames.csv" : L"frames-" + widenBytes(name) + L".csv";
}

VideoPipeline::~VideoPipeline() {
    stop();
    csv_.close();
}

void VideoPipeline::start() {
    if (thread_.joinable()) return;
    queue_.restart();
    {
        std::lock_guard lock(showMutex_);
        presentStop_ = false;
        offered_.reset();
        presentWanted_ = true;  // the window starts black
    }
    presentThread_ = std::thread([this] { presentLoop(); });
    thread_ = std::thread([this] { run(); });
}

void VideoPipeline::stop() {
    if (!thread_.joinable()) return;
    queue_.stop();
    thread_.join();
    {
        std::lock_guard lock(showMutex_);
        presentStop_ = true;
    }
    showCv_.notify_all();
    presentThread_.join();
    std::lock_guard grabLock(grabLock_);
    grabs_.clear();
}

void VideoPipeline::onConfig(int32_t width, int32_t height, int32_t fps, int32_t codec,
                             const uint8_t* csd, size_t csdLength) {
    VideoItem item;
    item.kind = VideoItem::kConfig;
    item.width = width;
    item.height = height;
    item.fps = fps;
    item.codec = codec;
    if (csd && csdLength) item.bytes.assign(csd, csd + csdLength);
    queue_.push(std::move(item));
}

void VideoPipeline::onPacket(const uint8_t* data, size_t size, int64_t pts, bool key) {
    VideoItem item;
    item.kind = VideoItem::kPacket;
    if (data && size) item.bytes.assign(data, data + size);
    item.pts = pts;
    item.key = key;
    item.arrived = now();
    received_.fetch_add(1);
    rxInterval_.fetch_add(1);
    const size_t thrownAway = queue_.pushPacket(std::move(item));
    if (thrownAway > 0) {
        backlogResets_.fetch_add(1);
        dropped_.fetch_add(static_cast<int64_t>(thrownAway));
        // A key frame that replaced the backlog is itself what the decoder goes on from.
        if (!key && callbacks_.keyFrameWanted) callbacks_.keyFrameWanted();
    }
}

void VideoPipeline::prepare(int32_t codec, int32_t width, int32_t height, int32_t fps) {
    VideoItem item;
    item.kind = VideoItem::kPrepare;
    item.codec = codec;
    item.width = width;
    item.height = height;
    item.fps = fps;
    queue_.push(std::move(item));
}

void VideoPipeline::reset() {
    VideoItem item;
    item.kind = VideoItem::kReset;
    queue_.push(std::move(item));
}

VideoSnapshot VideoPipeline::snapshot() const {
    VideoSnapshot s;
    s.shownPerSecond = shownPerSecond_.load();
    s.latencyMs = latencyMs_.load();
    s.received = received_.load();
    s.dropped = dropped_.load();
    s.onGpu = onGpu_.load();
    s.decodedPictures = decodedTotal_.load();
    s.decodeMicros = decodeMicrosTotal_.load();
    s.presentedPictures = presentedTotal_.load();
    s.presentMicros = presentMicrosTotal_.load();
    s.backlogResets = backlogResets_.load();
    return s;
}

void VideoPipeline::run() {
    decoder_.threadStarting();
    intervalStart_ = now();
    VideoItem item;
    for (;;) {
        bool moreQueued = false;
        const std::optional<std::chrono::milliseconds> limit = untilSummaryDue();
        const FrameQueue::Wait w = queue_.waitPop(limit, &item, &moreQueued);
        if (w == FrameQueue::Wait::kStop) break;
        // The seconds slept through had nothing in them: the next one starts now.
        if (!limit) intervalStart_ = now();
        if (w == FrameQueue::Wait::kItem) {
            switch (item.kind) {
                case VideoItem::kConfig:
                    handleConfig(item);
                    break;
                case VideoItem::kPacket:
                    handlePacket(item, moreQueued);
                    break;
                case VideoItem::kReset:
                    handleReset();
                    break;
                case VideoItem::kPrepare:
                    handlePrepare(item);
                    break;
                default:
                    break;
            }
        }
        finishIntervalIfDue();
    }
    forgetFed();
    decoder_.close();
    decoder_.threadEnding();
}

void VideoPipeline::handleConfig(VideoItem& item) {
    forgetFed();  // into the last stream's file
    width_ = item.width;
    height_ = item.height;
    fps_ = item.fps < 1 ? 60 : item.fps;
    codec_ = item.codec;
    presenter_.setStream(width_, height_, fps_);
    // Only now is the window reshaped: the phone's screen size shapes a window that has no stream
    // size yet, and seen in between it would be posted after this shape and undo it.
    presenter_.configArrived(item.width, item.height);
    csd_ = std::move(item.bytes);
    streamColour_ = colourFromParameterSets(codec_, csd_.data(), csd_.size());
    queue_.setWaitingForKey();
    logLine("%s: config %dx%d @%d, csd %zu bytes", tag_.c_str(), width_, height_, fps_,
            csd_.size());
    {
        std::lock_guard lock(statsMutex_);
        records_.clear();
        configAt_ = now();
        // One file a stream: a new size within it (the adapter's) keeps the rows so far.
        if (csvNewStream_) csv_.restart(programDataFile(csvName_.c_str()));
        csvNewStream_ = false;
    }
    const bool ready = decoder_.isOpen() && preparedCodec_ == codec_ && preparedWidth_ == width_ &&
                       preparedHeight_ == height_;
    preparedCodec_ = -1;
    if (ready) {
        logLine("%s: the decoder was opened ahead for this stream", tag_.c_str());
        onGpu_.store(decoder_.onGpu());
    } else if (openDecoder()) {
        onGpu_.store(decoder_.onGpu());
    } else {
        logLine("%s: decoder failed to open", tag_.c_str());
        onGpu_.store(false);
    }
    colour_.reset();
    updateColour();
}

void VideoPipeline::updateColour() {
    const ColourChoice choice = chooseColourSpace(streamColour_, decoder_.outputColour(), height_);
    const bool converted = decoder_.convertsToBt601();
    if (colour_ == choice.space && colourConverted_ == converted) return;
    colour_ = choice.space;
    colourConverted_ = converted;
    presenter_.setColour(converted
                             ? pictureColourAfterBt601Decoder(streamColour_, height_, choice.space)
                             : pictureColour(choice.space));
    logLine("%s: colours %s (matrix by %s, range by %s)%s", tag_.c_str(),
            colourSpaceText(choice.space).c_str(), choice.matrixFrom, choice.rangeFrom,
            converted ? ", from the decoder's BT.601 pictures" : "");
}

bool VideoPipeline::openDecoder() {
    if (decoder_.open(codec_, width_, height_, fps_)) return true;
    // A half-open decoder must not take packets: they count as dropped until the next config.
    decoder_.close();
    return false;
}

void VideoPipeline::handlePacket(VideoItem& item, bool moreQueued) {
    if (!decoder_.isOpen()) {
        dropped_.fetch_add(1);
        return;
    }
    if (queue_.waitingForKey(item.key)) {
        ++waitingForKeyInterval_;
        dropped_.fetch_add(1);
        return;
    }

    FrameRecord record;
    record.dequeued = now();
    record.pts = item.pts;
    record.arrived = item.arrived;
    record.bytes = item.bytes.size();
    record.key = item.key;
    int64_t captured = 0;
    if (callbacks_.phoneToPc && callbacks_.phoneToPc(item.pts, &captured)) {
        record.captured = captured;
        phoneToPc_.add(item.arrived - captured);
    }

    const uint8_t* data = item.bytes.data();
    size_t size = item.bytes.size();
    if (item.key && !csd_.empty()) {
        keyScratch_.assign(csd_.begin(), csd_.end());
        keyScratch_.insert(keyScratch_.end(), item.bytes.begin(), item.bytes.end());
        data = keyScratch_.data();
        size = keyScratch_.size();
    }

    const int64_t start = record.dequeued;
    fed_.push_back(record);
    madeNow_.clear();
    const bool ok = decoder_.decode(data, size, item.pts, [&](bool timeKnown, int64_t time) {
        pictureSinceBlack_ = true;
        ++decodedInterval_;
        madeNow_.push_back(takeFedRecord(timeKnown, time));
        madeNow_.back().decoded = now();
    });
    if (!ok) {
        dropped_.fetch_add(1);
        // The failed packet has no record (it counts as dropped); those before it will never
        // come out of the reopened decoder.
        if (!fed_.empty() && fed_.back().dequeued == record.dequeued && fed_.back().pts == item.pts)
            fed_.pop_back();
        forgetFed();
        recover();
        return;
    }
    if (fed_.size() > kMaxFedWaiting) {
        // A decoder that keeps pictures back this long is skipping those packets.
        std::lock_guard lock(statsMutex_);
        while (fed_.size() > kMaxFedWaiting) {
            keepRecord(fed_.front());
            fed_.pop_front();
        }
    }
    if (madeNow_.empty()) return;

    // The decoder's output type may only now tell the colours (after its first picture).
    updateColour();
    decodeTime_.add(madeNow_.back().decoded - start);
    decodeMicrosTotal_.fetch_add(madeNow_.back().decoded - start);
    decodedTotal_.fetch_add(1);
    // Several pictures out of one packet: only the newest may be shown.
    for (size_t i = 0; i + 1 < madeNow_.size(); ++i) {
        dropped_.fetch_add(1);
        std::lock_guard lock(statsMutex_);
        keepRecord(madeNow_[i]);
    }
    const FrameRecord& newest = madeNow_.back();
    // Something newer waits: this picture is decoded (later ones depend on it) but not shown,
    // unless the screen has had nothing new for a frame interval: a decoder slower than the
    // stream would otherwise leave it still for as long as the backlog lasts.
    if (!moreQueued || newest.decoded - lastOfferedAt_ >= 1000000 / fps_) {
        lastOfferedAt_ = newest.decoded;
        offerPicture({newest});
        return;
    }
    dropped_.fetch_add(1);
    std::lock_guard lock(statsMutex_);
    keepRecord(newest);
}

FrameRecord VideoPipeline::takeFedRecord(bool timeKnown, int64_t time) {
    auto own = fed_.begin();
    if (timeKnown) {
        own = std::find_if(fed_.begin(), fed_.end(),
                           [time](const FrameRecord& r) { return r.pts == time; });
        if (own == fed_.end()) own = fed_.begin();
    }
    if (own == fed_.end()) return {};  // a picture from no packet fed since the last reopen
    const FrameRecord record = *own;
    fed_.erase(own);
    return record;
}

void VideoPipeline::forgetFed() {
    if (fed_.empty()) return;
    std::lock_guard lock(statsMutex_);
    for (const FrameRecord& r : fed_) keepRecord(r);
    fed_.clear();
}

void VideoPipeline::keepRecord(const FrameRecord& record) {
    records_.push_back(record);
    csv_.write(record);
}

void VideoPipeline::recover() {
    logLine("%s: decode failed, reopening and asking for a keyframe", tag_.c_str());
    openDecoder();
    queue_.setWaitingForKey();
    if (callbacks_.keyFrameWanted) callbacks_.keyFrameWanted();
}

void VideoPipeline::handlePrepare(const VideoItem& item) {
    // A stream in progress keeps its decoder; the next config decides for itself.
    if (width_ != 0) return;
    if (item.codec < 0 || item.width <= 0 || item.height <= 0) {
        if (preparedCodec_ >= 0) decoder_.close();
        preparedCodec_ = -1;
        return;
    }
    if (decoder_.isOpen() && preparedCodec_ == item.codec && preparedWidth_ == item.width &&
        preparedHeight_ == item.height) {
        return;
    }
    preparedCodec_ = -1;
    if (!decoder_.open(item.codec, item.width, item.height, item.fps < 1 ? 60 : item.fps)) {
        decoder_.close();
        return;  // the config tries again and reports
    }
    preparedCodec_ = item.codec;
    preparedWidth_ = item.width;
    preparedHeight_ = item.height;
}

void VideoPipeline::handleReset() {
    forgetFed();
    // A decoder opened ahead for a coming stream stays open; one that served a stream does not.
    if (preparedCodec_ < 0) decoder_.close();
    onGpu_.store(false);
    width_ = 0;
    height_ = 0;
    csd_.clear();
    // Counters first: whoever sees the stream size gone also sees them cleared.
    received_.store(0);
    dropped_.store(0);
    presenter_.setStream(0, 0, fps_);
    {
        std::lock_guard lock(statsMutex_);
        csvNewStream_ = true;
    }
    // A window that has had nothing to show since it last went black stays as it is: the link
    // states before a stream each reset the pipeline.
    if (!pictureSinceBlack_) return;
    pictureSinceBlack_ = false;
    presenter_.dropPicture();
    requestBlack();
}

std::optional<std::chrono::milliseconds> VideoPipeline::untilSummaryDue() {
    if (!somethingToReport()) return std::nullopt;
    const int64_t left =
        std::clamp<int64_t>(intervalStart_ + kIntervalMicros - now(), 0, kIntervalMicros);
    return std::chrono::milliseconds((left + 999) / 1000);
}

bool VideoPipeline::somethingToReport() {
    // The published figures too: they return to nothing one summary after the video stops.
    if (rxInterval_.load() != 0 || decodedInterval_ != 0 || waitingForKeyInterval_ != 0 ||
        shownPerSecond_.load() != 0 || latencyMs_.load() != -1) {
        return true;
    }
    {
        std::lock_guard lock(showMutex_);
        if (offered_ || presentBusy_) return true;
    }
    std::lock_guard lock(statsMutex_);
    return shownInterval_ != 0 || !records_.empty();
}

void VideoPipeline::finishIntervalIfDue() {
    const int64_t t = now();
    const int64_t length = t - intervalStart_;
    if (length < kIntervalMicros) return;

    std::lock_guard lock(statsMutex_);
    shownPerSecond_.store(
        static_cast<int>(static_cast<int64_t>(shownInterval_) * 1000000 / length));
    latencyMs_.store(latency_.truncatedMeanMs());
    const int rx = rxInterval_.exchange(0);
    const int bltFailures = presenter_.takeBltFailures();
    if (rx || decodedInterval_ || shownInterval_) {
        const PresenterInfo info = presenter_.info();
        IntervalReport r;
        r.rx = rx;
        r.decoded = decodedInterval_;
        r.shown = shownInterval_;
        r.waitingForKey = waitingForKeyInterval_;
        r.bltFailures = bltFailures;
        r.lastBltResult = info.lastBltResult;
        r.queueLength = queue_.size();
        r.phoneToPcMs = phoneToPc_.meanMs();
        r.decodeMs = decodeTime_.meanMs();
        r.latencyMs = latency_.truncatedMeanMs();
        r.streamWidth = width_;
        r.streamHeight = height_;
        r.frameWidth = info.textureWidth;
        r.frameHeight = info.textureHeight;
        r.backWidth = info.backWidth;
        r.backHeight = info.backHeight;
        logLine("%s", statisticsLine(r, streamName_).c_str());
    }
    if (records_.size() >= 2) {
        const std::string timing =
            timingLine(records_, 1000.0 / fps_, presenter_.monitorRefreshHz(), streamName_);
        logLine("%s", timing.c_str());
    }
    csv_.flush();
    records_.clear();

    decodedInterval_ = 0;
    shownInterval_ = 0;
    waitingForKeyInterval_ = 0;
    phoneToPc_ = {};
    decodeTime_ = {};
    latency_ = {};
    intervalStart_ = t;
}

}  // namespace tov
