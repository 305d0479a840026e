#include "session/session_waiter.h"

namespace tov {

void SessionWaiter::pause(uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping() || wake_.load(); });
    wake_.store(false);
}

void SessionWaiter::setStopping(bool on) {
    stopping_.store(on);
    notify();
}

void SessionWaiter::wake() {
    wake_.store(true);
    notify();
}

void SessionWaiter::notify() {
    // Passing through the mutex orders this notify after any waiter's predicate check.
    { std::lock_guard<std::mutex> lock(mutex_); }
    cv_.notify_all();
}

}  // namespace tov
