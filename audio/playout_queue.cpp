#include "audio/playout_queue.h"

#include <algorithm>

namespace tov {

PlayoutQueue::PlayoutQueue(int sampleRate, uint32_t capacityFrames)
    : sampleRate_(sampleRate), capacity_(capacityFrames) {}

void PlayoutQueue::advance(int64_t nowMicros) {
    if (!started_) return;
    // Positions from the origin, not per-step increments, so rounding never drifts.
    const int64_t elapsedMicros = std::max<int64_t>(0, nowMicros - originMicros_);
    const uint64_t position =
        static_cast<uint64_t>(elapsedMicros) * static_cast<uint64_t>(sampleRate_) / 1000000u;
    if (position <= position_) return;
    const uint64_t played = position - position_;
    position_ = position;
    const uint32_t fromQueue = static_cast<uint32_t>(std::min<uint64_t>(played, queued_));
    queued_ -= fromQueue;
    starved_ += played - fromQueue;
}

uint32_t PlayoutQueue::queued(int64_t nowMicros) {
    advance(nowMicros);
    return queued_;
}

void PlayoutQueue::add(uint32_t frames, int64_t nowMicros) {
    if (!started_ && frames > 0) {
        started_ = true;
        originMicros_ = nowMicros;
    }
    advance(nowMicros);
    queued_ += std::min(frames, capacity_ - queued_);
}

}  // namespace tov
