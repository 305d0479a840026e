#include "audio/playback_buffer.h"

#include <algorithm>
#include <limits>

namespace tov {

void PlaybackBuffer::reset(const AudioFormat& format) {
    std::lock_guard<std::mutex> hold(lock_);
    format_ = format;
    ring_.allocate(static_cast<size_t>(format.sampleRate) * static_cast<size_t>(format.channels));
    priming_ = true;
}

void PlaybackBuffer::clear() {
    std::lock_guard<std::mutex> hold(lock_);
    ring_.clear();
    priming_ = true;
}

void PlaybackBuffer::push(const int16_t* samples, size_t frames) {
    std::lock_guard<std::mutex> hold(lock_);
    const size_t channels = static_cast<size_t>(format_.channels);
    // A count beyond what memory can hold is more than the ring keeps anyway.
    const size_t count = frames > std::numeric_limits<size_t>::max() / channels
                             ? std::numeric_limits<size_t>::max()
                             : frames * channels;
    pushLocked(samples, count, false);
}

void PlaybackBuffer::pushBytes(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> hold(lock_);
    const size_t channels = static_cast<size_t>(format_.channels);
    size_t count = size / (2 * channels) * channels;
    // Only the last second is kept: decode no more than that.
    const bool skipped = count > ring_.capacity();
    if (skipped) {
        data += (count - ring_.capacity()) * 2;
        count = ring_.capacity();
    }
    decoded_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        decoded_[i] = static_cast<int16_t>(static_cast<uint16_t>(data[2 * i]) |
                                           static_cast<uint16_t>(data[2 * i + 1] << 8));
    }
    pushLocked(decoded_.data(), count, skipped);
}

void PlaybackBuffer::pushLocked(const int16_t* samples, size_t count, bool skippedSome) {
    if (ring_.push(samples, count) > 0 || skippedSome) ++counters_.overflows;
}

int64_t PlaybackBuffer::fill(uint32_t queuedFrames, uint32_t deviceFrames, float volume,
                             const Destination& destination) {
    std::lock_guard<std::mutex> hold(lock_);
    const size_t channels = static_cast<size_t>(format_.channels);
    const size_t low = framesForMs(format_, 30);
    const size_t high = framesForMs(format_, 90);
    size_t frames = ring_.size() / channels;
    if (frames > high) {
        ring_.drop((frames - low) * channels);
        frames = low;
        ++counters_.trims;
    }
    // An underrun is a pass that finds both the device and the ring empty. An empty ring alone
    // is none: a device buffer as long as the priming amount takes the whole ring at every pass
    // while it still has sound to play, and priming then would hold every pass until 30 ms
    // gathered, leaving the device on the edge of running dry.
    if (!priming_ && frames == 0 && queuedFrames == 0) {
        priming_ = true;
        ++counters_.reprimes;
    }
    if (priming_) {
        if (frames < low) return 0;
        priming_ = false;
    }
    const uint32_t room = queuedFrames < deviceFrames ? deviceFrames - queuedFrames : 0;
    const size_t count = std::min<size_t>(frames, room);
    if (count > 0) {
        int16_t* out = destination(static_cast<uint32_t>(count));
        if (out == nullptr) return kDestinationFailed;
        ring_.take(out, count * channels, volume);
    }
    return static_cast<int64_t>(count);
}

AudioFormat PlaybackBuffer::format() const {
    std::lock_guard<std::mutex> hold(lock_);
    return format_;
}

PlaybackCounters PlaybackBuffer::counters() const {
    std::lock_guard<std::mutex> hold(lock_);
    PlaybackCounters out = counters_;
    out.ringSamples = ring_.capacity();
    out.bufferedFrames = ring_.size() / static_cast<size_t>(format_.channels);
    out.priming = priming_;
    return out;
}

}  // namespace tov
