#include "record/mp4_writer.h"

#include <algorithm>

#include "record/recording_clock.h"

namespace tov {
namespace {

// Sound stamps jitter a little around the count of frames; within this it follows on.
constexpr int64_t kSoundToleranceUs = 30000;
constexpr int64_t kUs = 1000000;

std::string be64(uint64_t v) {
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i) out[i] = static_cast<char>((v >> (56 - 8 * i)) & 0xff);
    return out;
}

}  // namespace

int64_t Mp4Writer::videoTicks(int64_t us) const {
    return scaledDown(us, kMp4VideoTimescale, kUs);
}
int64_t Mp4Writer::ticksUs(int64_t ticks) const {
    return scaledDown(ticks, kUs, kMp4VideoTimescale);
}
int64_t Mp4Writer::soundFrames(int64_t us) const {
    return scaledDown(us, audio_.sampleRate, kUs);
}
int64_t Mp4Writer::framesUs(int64_t frames) const {
    return audio_.sampleRate > 0 ? scaledDown(frames, kUs, audio_.sampleRate) : 0;
}

bool Mp4Writer::canRecord(const Mp4VideoTrack& video) {
    return video.width > 0 && video.height > 0 && video.width <= 0xffff && video.height <= 0xffff &&
           !decoderConfigRecord(video.codec, video.csd).empty();
}

bool Mp4Writer::start(const Mp4VideoTrack& video, const Mp4AudioTrack& audio, Sink sink,
                      int64_t fragmentUs) {
    if (!canRecord(video) || !sink) return false;
    video_ = video;
    audio_ = audio;
    // The sample entry holds the rate as a 16.16 number.
    if (audio_.sampleRate <= 0 || audio_.sampleRate > 65535 || audio_.channels <= 0 ||
        audio_.channels > 64) {
        audio_ = {};
    }
    frameBytes_ = static_cast<uint32_t>(audio_.channels) * 2;
    sink_ = std::move(sink);
    fragmentUs_ = std::max<int64_t>(1, fragmentUs);
    header_ = mp4Header(video_, decoderConfigRecord(video_.codec, video_.csd), audio_);
    if (!sink_(header_.bytes)) return false;
    fileBytes_ = header_.bytes.size();
    started_ = true;
    return true;
}

bool Mp4Writer::addVideo(std::string_view annexB, int64_t fileUs, bool key) {
    if (!started_ || failed_) return false;
    // Parameter sets or a delimiter alone are no picture to start from.
    if (videoSamples_ == 0 && (!key || !carriesPicture(video_.codec, annexB))) return true;
    const std::string sample = lengthPrefixedSample(video_.codec, annexB);
    if (sample.empty()) return true;
    // After the picture before (the same stamp twice gets a tick of its own), and never before
    // what is written.
    int64_t ticks = std::max(videoTicks(fileUs), videoEndTicks_);
    if (!pictures_.empty()) ticks = std::max(ticks, pictures_.back().ticks + 1);
    // Pictures still coming close their fragment themselves, at the picture that passes it.
    if (!pictures_.empty() && ticksUs(ticks) - fragmentStartUs_ >= fragmentUs_) {
        if (!fillSilenceTo(settledUs_) || !cut(ticks)) return false;
        fragmentStartUs_ = ticksUs(ticks);
    }
    if (!pictures_.empty()) lastIntervalTicks_ = ticks - pictures_.back().ticks;
    pictures_.push_back({ticks, static_cast<uint32_t>(sample.size()), key});
    pictureData_ += sample;
    ++videoSamples_;
    return closeIfDue();
}

bool Mp4Writer::addAudio(std::string_view pcm, int64_t fileUs) {
    if (!started_ || failed_) return false;
    if (videoSamples_ == 0 || frameBytes_ == 0) return true;
    std::string bytes = partialFrame_;
    bytes.append(pcm);
    const size_t whole = bytes.size() / frameBytes_ * frameBytes_;
    partialFrame_ = bytes.substr(whole);
    int64_t frames = static_cast<int64_t>(whole / frameBytes_);
    if (frames == 0) return true;
    int64_t at = fileUs != kFollowsOn ? soundFrames(fileUs) : soundEnd_;
    size_t skip = 0;
    const int64_t tolerance = soundFrames(kSoundToleranceUs);
    if (at < soundEnd_ - tolerance) {
        // Sound for a time already written (or before the file began) is left out.
        const int64_t over = std::min(frames, soundEnd_ - at);
        skip = static_cast<size_t>(over) * frameBytes_;
        frames -= over;
    } else if (at > soundEnd_ + tolerance) {
        if (!fillSilenceTo(framesUs(at))) return false;
    }
    if (frames > 0 && !appendSound(std::string_view(bytes).substr(skip, whole - skip))) {
        return false;
    }
    return closeIfDue();
}

bool Mp4Writer::advance(int64_t fileUs) {
    if (!started_ || failed_) return false;
    settledUs_ = std::max(settledUs_, fileUs);
    return videoSamples_ == 0 || closeIfDue();
}

bool Mp4Writer::closeIfDue() {
    if (settledUs_ - fragmentStartUs_ < fragmentUs_) return true;
    // Pictures past the settled time are still coming: they close their fragment themselves.
    if (!pictures_.empty() && ticksUs(pictures_.back().ticks) >= settledUs_) return true;
    if (!fillSilenceTo(settledUs_) || !cutHoldingLastPicture()) return false;
    fragmentStartUs_ = settledUs_;
    return true;
}

bool Mp4Writer::cutHoldingLastPicture() {
    // A still screen's last picture is held back, so that it lasts until the next one (or the
    // file's end) instead of leaving a hole in the picture track; those before it go out.
    if (pictures_.size() < 2) return cut(-1);
    const Picture last = pictures_.back();
    pictures_.pop_back();
    std::string lastData = pictureData_.substr(pictureData_.size() - last.size);
    pictureData_.resize(pictureData_.size() - last.size);
    if (!cut(last.ticks)) return false;
    pictures_.push_back(last);
    pictureData_ = std::move(lastData);
    return true;
}

bool Mp4Writer::fillSilenceTo(int64_t us) {
    if (frameBytes_ == 0) return true;
    const int64_t target = soundFrames(us);
    // In pieces of at most a fragment, each written when the open fragment is full.
    const int64_t piece = std::max<int64_t>(1, soundFrames(fragmentUs_));
    while (soundEnd_ < target) {
        const int64_t n = std::min(piece, target - soundEnd_);
        if (!appendSound(std::string(static_cast<size_t>(n) * frameBytes_, '\0'))) return false;
    }
    return true;
}

bool Mp4Writer::appendSound(std::string_view frames) {
    soundData_.append(frames);
    soundEnd_ += static_cast<int64_t>(frames.size() / frameBytes_);
    // Sound alone never piles up: beyond two fragments' worth it goes out without the pictures.
    if (soundEnd_ - soundStart_ > 2 * soundFrames(fragmentUs_)) return cut(-1);
    return true;
}

bool Mp4Writer::cut(int64_t videoEnd) {
    Mp4VideoRun video;
    const bool pictures = videoEnd >= 0 && !pictures_.empty();
    if (pictures) {
        video.start = pictures_.front().ticks;
        for (size_t i = 0; i < pictures_.size(); ++i) {
            const int64_t next = i + 1 < pictures_.size() ? pictures_[i + 1].ticks : videoEnd;
            video.samples.push_back(
                {static_cast<uint32_t>(std::max<int64_t>(1, next - pictures_[i].ticks)),
                 pictures_[i].size, pictures_[i].key});
            if (pictures_[i].key) {
                videoIndex_.push_back(
                    {pictures_[i].ticks, fileBytes_, 1, static_cast<uint32_t>(i + 1)});
            }
        }
        video.data = pictureData_;
        videoEndTicks_ = std::max(videoEndTicks_, videoEnd);
    }
    Mp4SoundRun sound{soundStart_, frameBytes_, soundData_};
    if (!pictures && soundData_.empty()) return true;
    if (!soundData_.empty())
        soundIndex_.push_back({soundStart_, fileBytes_, pictures ? 2u : 1u, 1});
    const std::string bytes = mp4Fragment(++sequence_, video, sound);
    if (pictures) {
        pictures_.clear();
        pictureData_.clear();
    }
    soundStart_ = soundEnd_;
    soundData_.clear();
    return emit(bytes);
}

bool Mp4Writer::emit(const std::string& bytes) {
    fileBytes_ += bytes.size();
    if (!sink_(bytes)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool Mp4Writer::finish(std::vector<Mp4Patch>& patches) {
    patches.clear();
    if (!started_) return false;
    started_ = false;
    if (failed_) return false;
    if (videoSamples_ == 0) return true;
    // The last picture lasts until the sound ends (or one picture interval), and sound that
    // stopped early is made up with silence, so both tracks end together.
    int64_t end = videoEndTicks_;
    if (!pictures_.empty()) {
        const int64_t interval =
            lastIntervalTicks_ > 0 ? lastIntervalTicks_ : kMp4VideoTimescale / 30;
        end = std::max(pictures_.back().ticks + interval, videoTicks(framesUs(soundEnd_)));
    }
    if (!fillSilenceTo(ticksUs(end)) || !cut(pictures_.empty() ? -1 : end)) return false;
    if (!emit(mp4Index(videoIndex_, soundIndex_, frameBytes_ > 0))) return false;

    const int64_t videoMs = scaledDown(videoEndTicks_, kMp4MovieTimescale, kMp4VideoTimescale);
    const int64_t soundMs =
        frameBytes_ ? scaledDown(soundEnd_, kMp4MovieTimescale, audio_.sampleRate) : 0;
    const auto at = [&](size_t offset, int64_t value) {
        patches.push_back({offset, be64(static_cast<uint64_t>(value))});
    };
    at(header_.movieDurationAt, std::max(videoMs, soundMs));
    at(header_.fragmentDurationAt, std::max(videoMs, soundMs));
    at(header_.trackDurationAt[0], videoMs);
    at(header_.mediaDurationAt[0], videoEndTicks_);
    if (frameBytes_) {
        at(header_.trackDurationAt[1], soundMs);
        at(header_.mediaDurationAt[1], soundEnd_);
    }
    return true;
}

int64_t Mp4Writer::durationUs() const {
    const int64_t pictures = pictures_.empty() ? videoEndTicks_ : pictures_.back().ticks;
    return std::max(ticksUs(std::max(videoEndTicks_, pictures)), framesUs(soundEnd_));
}

}  // namespace tov
