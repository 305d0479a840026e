#include "record/recorder.h"

#include "core/log.h"
#include "platform/text.h"

namespace tov {
namespace {

// The stream's codec number for HEVC; every other number is H.264.
constexpr int kStreamCodecHevc = 1;

std::string fileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return narrow(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

}  // namespace

Recorder::Recorder(RecorderOptions options) : options_(std::move(options)) {}

Recorder::~Recorder() {
    stop();
}

void Recorder::start() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (wanted_) return;
        wanted_ = true;
        askedForKey_ = true;
        savedAny_ = false;
        status_ = haveVideo_ ? "Recording starts with the next full picture\u2026"
                             : "Recording starts when the stream does.";
    }
    if (options_.keyframeWanted) options_.keyframeWanted();
    notify();
}

void Recorder::stop() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!wanted_) return;
        if (file_) {
            closeFile();
        } else if (!savedAny_) {
            status_.clear();
        }
        wanted_ = false;
    }
    notify();
}

bool Recorder::wanted() const {
    std::lock_guard<std::mutex> lock(lock_);
    return wanted_;
}

std::string Recorder::statusText() const {
    std::lock_guard<std::mutex> lock(lock_);
    return status_;
}

void Recorder::onVideoConfig(int width, int height, int codec, const uint8_t* csd, size_t size) {
    bool closed = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        closed = file_ != nullptr;
        if (closed) closeFile();
        video_.codec = codec == kStreamCodecHevc ? VideoCodec::Hevc : VideoCodec::H264;
        video_.width = width;
        video_.height = height;
        video_.csd.assign(reinterpret_cast<const char*>(csd), size);
        haveVideo_ = true;
    }
    if (closed) notify();
}

void Recorder::onVideoPacket(const uint8_t* data, size_t size, int64_t timeUs, bool key) {
    bool changed = false;
    bool askKey = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!wanted_ || !haveVideo_) return;
        if (!file_) {
            if (!key) {
                askKey = !askedForKey_;
                askedForKey_ = true;
            } else {
                openFile();
                changed = true;
            }
        }
        if (file_) {
            writer_.addVideo(std::string_view(reinterpret_cast<const char*>(data), size), timeUs,
                             key);
            if (!file_->ok()) {
                fail("Recording stopped: the disk can't keep up or is full.");
                changed = true;
            }
        }
    }
    if (askKey && options_.keyframeWanted) options_.keyframeWanted();
    if (changed) notify();
}

void Recorder::onAudioConfig(int sampleRate, int channels) {
    std::lock_guard<std::mutex> lock(lock_);
    audio_.sampleRate = sampleRate;
    audio_.channels = channels;
}

void Recorder::onAudioPacket(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(lock_);
    if (file_) writer_.addAudio(std::string_view(reinterpret_cast<const char*>(data), size));
}

void Recorder::onStreamEnd() {
    bool closed;
    {
        std::lock_guard<std::mutex> lock(lock_);
        closed = file_ != nullptr;
        if (closed) closeFile();
        haveVideo_ = false;
        audio_ = {};
    }
    if (closed) notify();
}

void Recorder::openFile() {
    path_ = options_.newFilePath ? options_.newFilePath() : std::wstring();
    if (path_.empty()) {
        fail("Recording failed: there is no Videos folder to put it in.");
        return;
    }
    file_ = std::make_unique<RecordingFile>(path_, options_.maxQueuedBytes);
    RecordingFile* file = file_.get();
    writer_ = Mp4Writer();
    if (!file->ok() || !writer_.start(video_, audio_,
                                      [file](std::string_view bytes) { return file->write(bytes); },
                                      options_.fragmentUs)) {
        fail("Recording failed: couldn't write " + fileName(path_) + ".");
        return;
    }
    logLine("record: writing %s (%dx%d %s%s)", narrow(path_).c_str(), video_.width,
            video_.height, video_.codec == VideoCodec::Hevc ? "HEVC" : "H.264",
            audio_.sampleRate > 0 ? ", with sound" : "");
    status_ = "Recording to " + fileName(path_) + ".";
}

void Recorder::closeFile() {
    askedForKey_ = false;
    if (!file_) return;
    const bool finished = writer_.finish();
    const bool closed = file_->close();
    file_.reset();
    if (finished && closed) {
        logLine("record: saved %s, %lld pictures, %.1f s", narrow(path_).c_str(),
                static_cast<long long>(writer_.videoSamples()), writer_.durationUs() / 1e6);
        status_ = "Saved " + fileName(path_) + " in Videos\\Tovenmar.";
        savedAny_ = true;
    } else {
        logLine("record: %s could not be written whole", narrow(path_).c_str());
        status_ = "The recording " + fileName(path_) + " couldn't be written whole.";
    }
}

void Recorder::fail(const std::string& text) {
    if (file_) {
        writer_.finish();
        file_->close();
        file_.reset();
    }
    logLine("record: %s", text.c_str());
    status_ = text;
    wanted_ = false;
}

void Recorder::notify() {
    if (options_.changed) options_.changed();
}

}  // namespace tov
