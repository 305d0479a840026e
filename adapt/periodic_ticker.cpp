#include "adapt/periodic_ticker.h"

#include <chrono>

namespace tov {

void PeriodicTicker::start(uint32_t intervalMs, std::function<void()> tick) {
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = false;
    }
    thread_ = std::thread([this, intervalMs, tick = std::move(tick)] {
        // Deadlines rather than sleeps: a slow tick does not push the next ones later.
        auto next = std::chrono::steady_clock::now();
        std::unique_lock lock(mutex_);
        for (;;) {
            next += std::chrono::milliseconds(intervalMs);
            if (wake_.wait_until(lock, next, [this] { return stop_; })) return;
            lock.unlock();
            tick();
            lock.lock();
            const auto now = std::chrono::steady_clock::now();
            if (next < now - std::chrono::milliseconds(intervalMs)) next = now;
        }
    });
}

void PeriodicTicker::stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

}  // namespace tov
