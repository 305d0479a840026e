#include "record/stream_clock.h"

namespace tov {

StreamClock::Stamp StreamClock::observe(int64_t phoneUs, int64_t arrivedUs) {
    const int64_t delay = arrivedUs - phoneUs;
    Stamp stamp = Stamp::Fits;
    if (known_) {
        if (delay < smallest() - kJumpUs) stamp = Stamp::Ahead;
        if (delay > smallest() + kJumpUs) stamp = Stamp::Behind;
    }
    if (!known_ || stamp != Stamp::Fits) {
        known_ = true;
        windowStart_ = arrivedUs;
        smallestNow_ = smallestBefore_ = delay;
        return stamp;
    }
    if (arrivedUs - windowStart_ >= kWindowUs) {
        smallestBefore_ = smallestNow_;
        smallestNow_ = delay;
        windowStart_ = arrivedUs;
    } else if (delay < smallestNow_) {
        smallestNow_ = delay;
    }
    return stamp;
}

bool StreamClock::fits(int64_t phoneUs, int64_t arrivedUs) const {
    if (!known_) return true;
    const int64_t delay = arrivedUs - phoneUs;
    return delay >= smallest() - kJumpUs && delay <= smallest() + kJumpUs;
}

int64_t StreamClock::phoneNow(int64_t arrivedUs) const {
    return arrivedUs - smallest();
}

}  // namespace tov
