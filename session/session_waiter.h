// The one wait mutex and condition variable that the Session's loop and ping threads sleep on,
// with the stopping and wake flags that cut their sleeps short.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tov {

class SessionWaiter {
  public:
    // Sleeps until `ms` passed, stopping is set or wake is set; wake is consumed either way.
    void pause(uint32_t ms);
    // Sleeps until `ms` passed, stopping is set or `done()` (read under the wait mutex) holds.
    template <class Done>
    void waitFor(uint32_t ms, Done done) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping() || done(); });
    }

    // Each setter is followed by a notify that cannot be lost between a waiter's check and its
    // sleep.
    void setStopping(bool on);
    void wake();
    void notify();

    bool stopping() const { return stopping_.load(); }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> wake_{false};
};

}  // namespace tov
