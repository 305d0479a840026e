#include "session/clock_sync.h"

#include <algorithm>
#include <limits>

namespace tov {

namespace {

// Phone times and echoed ping times come off the wire and may be anything; wrapping arithmetic
// keeps garbage from becoming undefined behaviour.
int64_t wrapSub(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}

}  // namespace

void ClockSync::reset() {
    synced_.store(false, std::memory_order_release);
    smallest_.store(std::numeric_limits<int64_t>::max(), std::memory_order_relaxed);
    pongs_.store(0, std::memory_order_relaxed);
    kept_ = false;
}

void ClockSync::onPong(int64_t sentPc, int64_t phone, int64_t nowPc) {
    const int64_t roundTrip = wrapSub(nowPc, sentPc);
    pongs_.fetch_add(1, std::memory_order_relaxed);
    // A negative round trip means a clock stepped back or a forged echo; it proves nothing.
    if (roundTrip < 0) return;
    const int64_t smallest = smallest_.load(std::memory_order_relaxed);
    // Written as a subtraction: adding the slack to the initial largest value would overflow.
    if (kept_ && roundTrip - kSlackMicros > smallest) return;
    kept_ = true;
    smallest_.store(std::min(smallest, roundTrip), std::memory_order_relaxed);
    offset_.store(wrapSub(wrapSub(phone, roundTrip / 2), sentPc), std::memory_order_relaxed);
    synced_.store(true, std::memory_order_release);
}

bool ClockSync::toPcTime(int64_t phoneUs, int64_t* pcUs) const {
    if (!synced()) return false;
    *pcUs = wrapSub(phoneUs, offset());
    return true;
}

}  // namespace tov
