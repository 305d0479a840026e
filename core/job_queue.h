// One worker thread that runs jobs in the order they were posted, so that slow work (adb, picture
// encoding) never runs on the thread that asked for it. Started by the first job.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tov {

class JobQueue {
  public:
    JobQueue() = default;
    ~JobQueue() { stop(); }
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Any thread: the job runs on the queue's thread after those posted before it. False (and
    // the job dropped) once the queue is stopped.
    bool post(std::function<void()> job);
    // Posts several jobs in one step: none of them begins before all are queued.
    bool post(std::vector<std::function<void()>> jobs);
    // Jobs posted and not yet begun.
    size_t waiting() const;
    // Ends the thread once the running job returns; jobs still waiting are dropped. A stopped
    // queue takes no more jobs. Not from a job itself.
    void stop();

  private:
    void run();

    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopped_ = false;
    std::thread thread_;
};

}  // namespace tov
