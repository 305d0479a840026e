// A thread that calls one function at a steady interval until it is stopped; a stop takes effect
// at once, whatever is left of the interval.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tov {

class PeriodicTicker {
  public:
    PeriodicTicker() = default;
    ~PeriodicTicker() { stop(); }
    PeriodicTicker(const PeriodicTicker&) = delete;
    PeriodicTicker& operator=(const PeriodicTicker&) = delete;

    // Calls `tick` every `intervalMs`, the first time one interval after the start.
    void start(uint32_t intervalMs, std::function<void()> tick);
    // Waits for a tick under way to end.
    void stop();

  private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
};

}  // namespace tov
