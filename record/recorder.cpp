#include "record/recorder.h"

#include <chrono>

#include "core/file_name.h"
#include "core/log.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tov {
namespace {

// The stream's codec number for HEVC; every other number is H.264.
constexpr int kStreamCodecHevc = 1;
// The stream's usual sound format: a file that starts while the sound is off gets a sound track
// in it, silent until the sound comes on.
constexpr int kUsualRate = 48000;
constexpr int kUsualChannels = 2;
constexpr auto kTickEvery = std::chrono::milliseconds(250);
// Sound kept while no file is open, for the one that starts at the next key picture.
constexpr int64_t kRecentSoundUs = 1000000;
constexpr size_t kRecentSoundBytes = size_t{1} << 20;

}  // namespace

Recorder::Recorder(RecorderOptions options) : options_(std::move(options)) {
    thread_ = std::thread([this] { run(); });
}

Recorder::~Recorder() {
    shutdown();
}

int64_t Recorder::now() const {
    return options_.clock ? options_.clock() : nowMicros();
}

void Recorder::start() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (wanted_ || quit_) return;
        wanted_ = true;
        askedForKey_ = true;
        anyFile_ = false;
        status_ = haveVideo_ ? "Recording starts with the next full picture\u2026"
                             : "Recording starts when the stream does.";
        statusPath_.clear();
    }
    if (options_.keyframeWanted) options_.keyframeWanted();
    notify();
}

void Recorder::stop() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!wanted_) return;
        if (file_) {
            closeFile("stopped");
        } else if (!anyFile_) {
            status_.clear();
        }
        wanted_ = false;
        recentSound_.clear();
        recentBytes_ = 0;
    }
    notify();
}

void Recorder::shutdown() {
    stop();
    {
        std::lock_guard<std::mutex> lock(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
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
        if (closed) closeFile("new video configuration");
        video_.codec = codec == kStreamCodecHevc ? VideoCodec::Hevc : VideoCodec::H264;
        video_.width = width;
        video_.height = height;
        video_.csd.assign(reinterpret_cast<const char*>(csd), size);
        haveVideo_ = true;
        clock_.resetPictures();  // a new configuration may start a new clock
    }
    if (closed) notify();
}

void Recorder::onVideoPacket(const uint8_t* data, size_t size, int64_t timeUs, bool key) {
    const int64_t arrived = now();
    const std::string_view picture(reinterpret_cast<const char*>(data), size);
    bool changed = false;
    bool askKey = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!haveVideo_) return;
        const RecordingClock::Stamp stamp = clock_.seePicture(timeUs, arrived);
        if (!wanted_) return;
        if (file_ && stamp == RecordingClock::Stamp::Ahead) {
            closeFile("the picture time stamps jumped ahead");
            changed = true;
        } else if (file_ && stamp == RecordingClock::Stamp::Back) {
            closeFile("the picture time stamps went back");
            changed = true;
        } else if (file_ &&
                   !wrote(writer_.addVideo(picture, clock_.pictureUs(timeUs), key), arrived)) {
            changed = true;
        }
        if (wanted_ && !file_) {
            if (key && carriesPicture(video_.codec, picture)) {
                openFile();
                changed = true;
                if (file_) {
                    clock_.startFile(timeUs);
                    writer_.addVideo(picture, 0, key);
                    // Kept sound goes through the clock like the rest.
                    for (const SoundPacket& p : recentSound_) {
                        writer_.addAudio(p.pcm, clock_.soundUs(p.timeUs));
                    }
                    recentSound_.clear();
                    recentBytes_ = 0;
                    wrote(true, arrived);
                }
            } else {
                askKey = !askedForKey_;
                askedForKey_ = true;
            }
        }
    }
    if (askKey && options_.keyframeWanted) options_.keyframeWanted();
    if (changed) notify();
}

bool Recorder::wrote(bool ok, int64_t arrivedUs) {
    if (ok && writer_.advance(clock_.settledUs(arrivedUs)) && file_->ok()) return true;
    fail("Recording stopped: the disk can't keep up or is full.");
    return false;
}

void Recorder::onAudioConfig(int sampleRate, int channels) {
    bool closed = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (sampleRate != audio_.sampleRate || channels != audio_.channels) {
            recentSound_.clear();
            recentBytes_ = 0;
            clock_.resetSound();
        }
        audio_.sampleRate = sampleRate;
        audio_.channels = channels;
        if (file_ && (sampleRate != fileAudio_.sampleRate || channels != fileAudio_.channels)) {
            closeFile("new sound format");
            closed = true;
        }
    }
    if (closed && options_.keyframeWanted) options_.keyframeWanted();
    if (closed) notify();
}

void Recorder::onAudioPacket(const uint8_t* data, size_t size, int64_t timeUs) {
    const int64_t arrived = now();
    bool failed = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (timeUs != 0) clock_.hearSound(timeUs, arrived);
        if (!wanted_) return;
        if (!file_) {
            keepSound(data, size, timeUs);
            return;
        }
        const std::string_view pcm(reinterpret_cast<const char*>(data), size);
        failed = !wrote(
            writer_.addAudio(pcm, timeUs != 0 ? clock_.soundUs(timeUs) : Mp4Writer::kFollowsOn),
            arrived);
    }
    if (failed) notify();
}

void Recorder::onStreamEnd() {
    bool closed;
    {
        std::lock_guard<std::mutex> lock(lock_);
        closed = file_ != nullptr;
        if (closed) closeFile("the stream ended");
        haveVideo_ = false;
        audio_ = {};
        clock_.resetPictures();
        clock_.resetSound();
        recentSound_.clear();
        recentBytes_ = 0;
    }
    if (closed) notify();
}

void Recorder::tick() {
    bool failed = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!file_ || !clock_.known()) return;
        failed = !wrote(true, now());
    }
    if (failed) notify();
}

void Recorder::keepSound(const uint8_t* data, size_t size, int64_t timeUs) {
    if (timeUs == 0) return;  // without its time it cannot be placed in a file yet to start
    recentSound_.push_back({timeUs, std::string(reinterpret_cast<const char*>(data), size)});
    recentBytes_ += size;
    while (recentBytes_ > kRecentSoundBytes ||
           recentSound_.back().timeUs - recentSound_.front().timeUs > kRecentSoundUs) {
        recentBytes_ -= recentSound_.front().pcm.size();
        recentSound_.pop_front();
    }
}

void Recorder::openFile() {
    if (!Mp4Writer::canRecord(video_)) {
        logLine("record: the video configuration (%dx%d, %zu bytes) lacks a parameter set",
                video_.width, video_.height, video_.csd.size());
        fail("Recording failed: the stream's video configuration is incomplete.");
        return;
    }
    path_ = options_.newFilePath ? options_.newFilePath() : std::wstring();
    if (path_.empty()) {
        fail("Recording failed: there is no Videos folder to put it in.");
        return;
    }
    std::unique_ptr<RecordingOutput> output =
        options_.createFile ? options_.createFile(path_) : createRecordingFile(path_);
    if (!output) {
        fail("Recording failed: couldn't create " + fileName(path_) + ".");
        return;
    }
    file_ = std::make_unique<RecordingFile>(std::move(output), options_.maxQueuedBytes);
    fileAudio_ = audio_.sampleRate > 0 ? audio_ : Mp4AudioTrack{kUsualRate, kUsualChannels};
    writer_ = Mp4Writer();
    RecordingFile* file = file_.get();
    if (!writer_.start(
            video_, fileAudio_, [file](std::string_view bytes) { return file->write(bytes); },
            options_.fragmentUs)) {
        file_->discard();
        file_.reset();
        fail("Recording failed: couldn't write " + fileName(path_) + ".");
        return;
    }
    anyFile_ = true;
    logLine("record: writing %s (%dx%d %s, sound %d Hz %d ch)", narrow(path_).c_str(), video_.width,
            video_.height, video_.codec == VideoCodec::Hevc ? "HEVC" : "H.264",
            fileAudio_.sampleRate, fileAudio_.channels);
    status_ = "Recording to " + fileName(path_) + ".";
    statusPath_ = path_;
    wake_.notify_all();  // the timer runs while a file is open
}

void Recorder::closeFile(const char* why) {
    askedForKey_ = false;
    if (!file_) return;
    Finishing f;
    f.written = writer_.finish(f.patches);
    f.file = std::move(file_);
    f.path = path_;
    f.pictures = writer_.videoSamples();
    f.durationUs = writer_.durationUs();
    logLine("record: closing %s: %s", narrow(path_).c_str(), why);
    status_ = "Saving " + fileName(path_) + "\u2026";
    statusPath_ = path_;
    finishing_.push_back(std::move(f));
    wake_.notify_all();
}

void Recorder::fail(const std::string& text) {
    if (file_) {
        closeFile("failed");
        finishing_.back().told = true;
    }
    logLine("record: %s", text.c_str());
    status_ = text;
    statusPath_.clear();
    wanted_ = false;
    recentSound_.clear();
    recentBytes_ = 0;
}

void Recorder::run() {
    std::unique_lock<std::mutex> lock(lock_);
    while (true) {
        if (!finishing_.empty()) {
            Finishing f = std::move(finishing_.front());
            finishing_.pop_front();
            lock.unlock();
            finishFile(f);
            lock.lock();
            continue;
        }
        if (quit_) return;
        if (file_) {
            wake_.wait_for(lock, kTickEvery);
            lock.unlock();
            tick();
            lock.lock();
        } else {
            wake_.wait(lock);
        }
    }
}

// On the recorder's thread, holding no lock: this is where the disk is waited for.
void Recorder::finishFile(Finishing& f) {
    const bool closed = f.file->finish(f.written ? f.patches : std::vector<Mp4Patch>{});
    const bool ok = f.written && closed;
    f.file.reset();
    if (ok) {
        logLine("record: saved %s, %lld pictures, %.1f s", narrow(f.path).c_str(),
                static_cast<long long>(f.pictures), f.durationUs / 1e6);
    } else {
        logLine("record: %s could not be written whole", narrow(f.path).c_str());
    }
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (ok && statusPath_ == f.path) {
            status_ = "Saved " + fileName(f.path) + " in Videos\\Tovenmar.";
        } else if (!ok && !f.told) {
            status_ = "The recording " + fileName(f.path) + " couldn't be written whole.";
            statusPath_ = f.path;
        }
    }
    notify();
}

void Recorder::notify() {
    if (options_.changed) options_.changed();
}

}  // namespace tov
