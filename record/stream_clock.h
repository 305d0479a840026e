// How the phone's clock stands to the PC's, learnt from the pictures as they arrive: the
// smallest delay from capture to arrival seen lately says which phone time a packet arriving now
// can carry at most. It tells a stamp that jumped from one that is merely late, and lets time go
// on while nothing arrives.
#pragma once

#include <cstdint>

namespace tov {

class StreamClock {
  public:
    // Further than this from what the clock expects, a stamp has jumped.
    static constexpr int64_t kJumpUs = 3000000;

    enum class Stamp { Fits, Ahead, Behind };
    // A stamped picture arrived at `arrivedUs` (PC clock). Ahead or Behind: it is more than
    // kJumpUs from what the clock expects, and the clock starts afresh from it.
    Stamp observe(int64_t phoneUs, int64_t arrivedUs);
    // Whether a stamp fits without learning from it (for sound, which need not share the clock).
    bool fits(int64_t phoneUs, int64_t arrivedUs) const;
    bool known() const { return known_; }
    // The latest phone time that a packet arriving at `arrivedUs` can carry.
    int64_t phoneNow(int64_t arrivedUs) const;
    void reset() { known_ = false; }

  private:
    // The smallest delay over two windows of this length, so that a clock that drifts or a
    // link that got slower is followed.
    static constexpr int64_t kWindowUs = 5000000;
    int64_t smallest() const {
        return smallestNow_ < smallestBefore_ ? smallestNow_ : smallestBefore_;
    }

    bool known_ = false;
    int64_t windowStart_ = 0;
    int64_t smallestNow_ = 0;
    int64_t smallestBefore_ = 0;
};

}  // namespace tov
