#include "video/frame_queue.h"

#include <algorithm>

namespace tov {

void FrameQueue::push(VideoItem item) {
    {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(item));
    }
    cv_.notify_all();
}

size_t FrameQueue::pushPacket(VideoItem item) {
    size_t dropped = 0;
    {
        std::lock_guard lock(mutex_);
        const size_t waiting =
            static_cast<size_t>(std::count_if(items_.begin(), items_.end(), [](const VideoItem& i) {
                return i.kind == VideoItem::kPacket;
            }));
        if (waiting >= kBacklogLimit && !item.key) {
            std::erase_if(items_, [](const VideoItem& i) { return i.kind == VideoItem::kPacket; });
            dropped = waiting + 1;
            waitingForKey_ = true;
        } else if (item.key && waiting > kBacklogLimit) {
            // Everything before a key frame is only decoded to be hidden behind it: drop it, or
            // key frames would pile up for as long as the video thread stalls.
            std::erase_if(items_, [](const VideoItem& i) { return i.kind == VideoItem::kPacket; });
            dropped = waiting;
            items_.push_back(std::move(item));
        } else {
            items_.push_back(std::move(item));
        }
    }
    cv_.notify_all();
    return dropped;
}

FrameQueue::Wait FrameQueue::waitPop(std::optional<std::chrono::milliseconds> limit, VideoItem* out,
                                     bool* moreQueued) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return stop_ || !items_.empty() || poked_; };
    if (limit) {
        cv_.wait_until(lock, std::chrono::steady_clock::now() + *limit, ready);
    } else {
        cv_.wait(lock, ready);
    }
    poked_ = false;
    if (stop_) return Wait::kStop;
    if (items_.empty()) return Wait::kIdle;
    *out = std::move(items_.front());
    items_.pop_front();
    *moreQueued = !items_.empty();
    return Wait::kItem;
}

void FrameQueue::poke() {
    {
        std::lock_guard lock(mutex_);
        poked_ = true;
    }
    cv_.notify_all();
}

void FrameQueue::stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
}

void FrameQueue::restart() {
    std::lock_guard lock(mutex_);
    stop_ = false;
    items_.clear();
    waitingForKey_ = true;
}

void FrameQueue::setWaitingForKey() {
    std::lock_guard lock(mutex_);
    waitingForKey_ = true;
}

bool FrameQueue::waitingForKey(bool keyFrameArrives) {
    std::lock_guard lock(mutex_);
    if (waitingForKey_ && keyFrameArrives) waitingForKey_ = false;
    return waitingForKey_;
}

bool FrameQueue::isWaitingForKey() const {
    std::lock_guard lock(mutex_);
    return waitingForKey_;
}

size_t FrameQueue::size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}

size_t FrameQueue::packetCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(items_.begin(), items_.end(), [](const VideoItem& i) {
        return i.kind == VideoItem::kPacket;
    }));
}

}  // namespace tov
