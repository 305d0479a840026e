// The small queue between the stream session's thread and the video thread, with its drop policy.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "video/video_item.h"

namespace tov {

class FrameQueue {
  public:
    // Packets already waiting at which a further non-key packet throws the backlog away.
    static constexpr size_t kBacklogLimit = 8;

    FrameQueue() = default;
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    // Config and reset items: always appended. Wakes the video thread.
    void push(VideoItem item);

    // Appends a packet, or, when kBacklogLimit packets already wait and this one is not a key
    // frame, removes every queued packet (configs and resets stay, in order), sets
    // waiting-for-key and does not queue it: the caller then asks for a key frame after this
    // returns, outside the lock. A key frame joins a backlog of kBacklogLimit; one arriving
    // behind more than that (a stalled video thread) replaces every queued packet, so that at
    // most kBacklogLimit + 1 packets ever wait and the newest key frame is kept (it needs no key
    // frame request). Returns how many queued packets were thrown away, plus one when this packet
    // was not queued. Wakes the video thread either way.
    size_t pushPacket(VideoItem item);

    enum class Wait { kStop, kItem, kIdle };
    // Waits until stop, an item, a poke, or `limit` passing (no limit: only the others end it).
    // With an item, pops the front into `out` and tells whether more items remain.
    Wait waitPop(std::optional<std::chrono::milliseconds> limit, VideoItem* out, bool* moreQueued);

    // Ends the video thread's wait once without giving it an item.
    void poke();
    void stop();
    // Stop cleared and the queue emptied, for a fresh start of the video thread.
    void restart();

    void setWaitingForKey();
    // True when waiting; a key frame ends the wait (and true is then returned as false).
    bool waitingForKey(bool keyFrameArrives);
    bool isWaitingForKey() const;

    size_t size() const;
    size_t packetCount() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<VideoItem> items_;
    bool stop_ = false;
    bool poked_ = false;
    bool waitingForKey_ = true;
};

}  // namespace tov
