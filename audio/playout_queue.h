// A device buffer that plays out at a fixed rate: what was written leaves at sampleRate frames
// per second of a clock the caller gives. Models a sound card for the native sink and for tests
// that run on a simulated clock.
#pragma once

#include <cstdint>

namespace tov {

class PlayoutQueue {
  public:
    PlayoutQueue(int sampleRate, uint32_t capacityFrames);

    uint32_t capacity() const { return capacity_; }
    // Frames still queued at the time (microseconds of any monotonic clock, never going back).
    uint32_t queued(int64_t nowMicros);
    // Adds frames at the time; more than the room is cut to the room.
    void add(uint32_t frames, int64_t nowMicros);
    // Frames the device played as silence because nothing was queued, since the first add.
    uint64_t starvedFrames() const { return starved_; }

  private:
    void advance(int64_t nowMicros);

    int sampleRate_;
    uint32_t capacity_;
    bool started_ = false;
    int64_t originMicros_ = 0;
    uint64_t position_ = 0;  // frames played since the origin
    uint32_t queued_ = 0;
    uint64_t starved_ = 0;
};

}  // namespace tov
