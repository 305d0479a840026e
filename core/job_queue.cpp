#include "core/job_queue.h"

namespace tov {

bool JobQueue::post(std::function<void()> job) {
    std::vector<std::function<void()>> one;
    one.push_back(std::move(job));
    return post(std::move(one));
}

bool JobQueue::post(std::vector<std::function<void()>> jobs) {
    {
        std::lock_guard lock(lock_);
        if (stopped_) return false;
        for (auto& job : jobs) jobs_.push_back(std::move(job));
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
    return true;
}

size_t JobQueue::waiting() const {
    std::lock_guard lock(lock_);
    return jobs_.size();
}

void JobQueue::stop() {
    std::thread thread;
    {
        std::lock_guard lock(lock_);
        stopped_ = true;
        jobs_.clear();
        thread = std::move(thread_);
    }
    wake_.notify_all();
    if (thread.joinable()) thread.join();
}

void JobQueue::run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(lock_);
            wake_.wait(lock, [this] { return stopped_ || !jobs_.empty(); });
            if (stopped_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace tov
