#include "audio/audio_player.h"

#include "core/log.h"

namespace tov {

AudioPlayer::AudioPlayer(int sampleRate, int channels, float volume, AudioOutputFactory output)
    : makeOutput_(output ? std::move(output) : AudioOutputFactory(makeDefaultAudioOutput)),
      volume_(volume) {
    AudioFormat format = formatWithDefaults(sampleRate, channels);
    if (!isPlayableFormat(format)) format = AudioFormat{};
    buffer_.reset(format);
}

AudioPlayer::~AudioPlayer() {
    stop();
}

bool AudioPlayer::start(int sampleRate, int channels) {
    std::lock_guard<std::mutex> hold(control_);
    stopLocked();
    const AudioFormat format = formatWithDefaults(sampleRate, channels);
    if (!isPlayableFormat(format)) {
        logLine("audio: unsupported format %d Hz, %d channels", format.sampleRate, format.channels);
        return false;
    }
    buffer_.reset(format);
    stop_.clear();
    running_ = true;
    thread_ = std::thread([this] {
        std::unique_ptr<AudioOutput> output = makeOutput_();
        if (output) renderUntilStopped(*output, buffer_, volume_, stop_, status_);
    });
    return true;
}

void AudioPlayer::push(const int16_t* samples, size_t frames) {
    buffer_.push(samples, frames);
}

void AudioPlayer::pushBytes(const uint8_t* data, size_t size) {
    buffer_.pushBytes(data, size);
}

void AudioPlayer::stop() {
    std::lock_guard<std::mutex> hold(control_);
    stopLocked();
}

void AudioPlayer::stopLocked() {
    if (thread_.joinable()) {
        stop_.raise();
        thread_.join();
    }
    running_ = false;
    buffer_.clear();
}

bool AudioPlayer::running() const {
    return running_.load();
}

AudioPlayerStats AudioPlayer::stats() const {
    AudioPlayerStats out;
    out.running = running_.load();
    out.deviceOpen = status_.deviceOpen.load();
    out.format = buffer_.format();
    out.buffer = buffer_.counters();
    out.deviceBufferFrames = status_.deviceBufferFrames.load();
    out.devicePaddingFrames = status_.devicePadding.load();
    out.deviceOpens = status_.deviceOpens.load();
    out.openFailures = status_.openFailures.load();
    out.deviceLosses = status_.deviceLosses.load();
    out.retryPauses = status_.retryPauses.load();
    return out;
}

}  // namespace tov
