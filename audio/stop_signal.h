// A stop request that also cuts short any wait of the thread it stops.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tov {

class StopSignal {
  public:
    void raise() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            raised_ = true;
        }
        wake_.notify_all();
    }
    void clear() {
        std::lock_guard<std::mutex> hold(lock_);
        raised_ = false;
    }
    bool raised() const {
        std::lock_guard<std::mutex> hold(lock_);
        return raised_;
    }
    // Waits ms milliseconds unless the stop comes first; true when it has come.
    bool waitFor(int ms) {
        std::unique_lock<std::mutex> hold(lock_);
        return wake_.wait_for(hold, std::chrono::milliseconds(ms), [this] { return raised_; });
    }

  private:
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool raised_ = false;
};

}  // namespace tov
