#include "tools/phonesim/thread_set.h"

namespace tov::phonesim {

void ThreadSet::run(std::function<void()> work) {
    std::list<Worker> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (it->done->load()) {
                finished.splice(finished.end(), workers_, it++);
            } else {
                ++it;
            }
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back(Worker{std::thread([work = std::move(work), done] {
                                      work();
                                      done->store(true);
                                  }),
                                  done});
    }
    for (Worker& w : finished) w.thread.join();
}

void ThreadSet::joinAll() {
    while (true) {
        std::list<Worker> taken;
        {
            std::lock_guard lock(mutex_);
            if (workers_.empty()) return;
            taken.swap(workers_);
        }
        for (Worker& w : taken) w.thread.join();
    }
}

}  // namespace tov::phonesim
