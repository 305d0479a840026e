// Worker threads the daemon starts for connections; all are joined before it exits.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace tov::phonesim {

class ThreadSet {
  public:
    ThreadSet() = default;
    ~ThreadSet() { joinAll(); }
    ThreadSet(const ThreadSet&) = delete;
    ThreadSet& operator=(const ThreadSet&) = delete;

    // Runs `work` on a new thread; finished threads are joined along the way.
    void run(std::function<void()> work);
    void joinAll();

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex mutex_;
    std::list<Worker> workers_;
};

}  // namespace tov::phonesim
