#include "video/frame_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace tov {
namespace {

VideoItem packet(int64_t pts, bool key = false) {
    VideoItem i;
    i.kind = VideoItem::kPacket;
    i.pts = pts;
    i.key = key;
    i.bytes = {1, 2, 3};
    return i;
}

VideoItem config(int32_t width) {
    VideoItem i;
    i.kind = VideoItem::kConfig;
    i.width = width;
    return i;
}

VideoItem reset() {
    VideoItem i;
    i.kind = VideoItem::kReset;
    return i;
}

// Pops everything without waiting, in order.
std::vector<VideoItem> drain(FrameQueue& q) {
    std::vector<VideoItem> out;
    VideoItem item;
    bool more = false;
    while (q.waitPop(std::chrono::milliseconds(0), &item, &more) == FrameQueue::Wait::kItem) {
        out.push_back(item);
    }
    return out;
}

TEST(FrameQueue, NinthNonKeyPacketThrowsTheBacklogAwayButKeepsConfigsAndResets) {
    FrameQueue q;
    q.waitingForKey(true);  // a key frame arrived earlier: not waiting
    ASSERT_FALSE(q.isWaitingForKey());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(q.pushPacket(packet(i)), 0u);
    q.push(config(720));
    for (int i = 4; i < 8; ++i) EXPECT_EQ(q.pushPacket(packet(i)), 0u);
    q.push(reset());
    EXPECT_EQ(q.packetCount(), 8u);

    EXPECT_EQ(q.pushPacket(packet(8)), 9u);  // the 8 waiting plus this one
    EXPECT_TRUE(q.isWaitingForKey());
    const std::vector<VideoItem> left = drain(q);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].kind, VideoItem::kConfig);
    EXPECT_EQ(left[0].width, 720);
    EXPECT_EQ(left[1].kind, VideoItem::kReset);
}

TEST(FrameQueue, SevenWaitingIsNoBacklogYet) {
    FrameQueue q;
    for (int i = 0; i < 7; ++i) q.pushPacket(packet(i));
    EXPECT_EQ(q.pushPacket(packet(7)), 0u);
    EXPECT_EQ(q.packetCount(), 8u);
}

TEST(FrameQueue, AKeyFrameJoinsTheBacklogAndANewerOneReplacesIt) {
    FrameQueue q;
    q.waitingForKey(true);
    for (int i = 0; i < 8; ++i) q.pushPacket(packet(i));
    EXPECT_EQ(q.pushPacket(packet(100, true)), 0u);  // queued behind the eight
    EXPECT_EQ(q.packetCount(), 9u);
    q.push(config(720));
    // A stalled video thread: the next key frame replaces all nine (the config stays), and so
    // on, so no more than nine packets ever wait.
    EXPECT_EQ(q.pushPacket(packet(101, true)), 9u);
    EXPECT_FALSE(q.isWaitingForKey());  // the kept key frame is where decoding goes on
    for (int i = 102; i < 140; ++i) {
        q.pushPacket(packet(i, true));
        ASSERT_LE(q.packetCount(), 9u) << i;
    }
    const std::vector<VideoItem> items = drain(q);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0].kind, VideoItem::kConfig);
    EXPECT_EQ(items.back().pts, 139);  // the newest key frame is kept
    for (size_t i = 1; i < items.size(); ++i) EXPECT_TRUE(items[i].key);
}

TEST(FrameQueue, WaitingForKeyEndsOnlyWithAKeyFrame) {
    FrameQueue q;
    EXPECT_TRUE(q.isWaitingForKey());  // a fresh queue waits for a key frame
    EXPECT_TRUE(q.waitingForKey(false));
    EXPECT_FALSE(q.waitingForKey(true));
    EXPECT_FALSE(q.waitingForKey(false));
    q.setWaitingForKey();
    EXPECT_TRUE(q.waitingForKey(false));
}

TEST(FrameQueue, PopReportsWhetherMoreWait) {
    FrameQueue q;
    q.pushPacket(packet(1));
    q.pushPacket(packet(2));
    VideoItem item;
    bool more = false;
    ASSERT_EQ(q.waitPop(std::chrono::milliseconds(0), &item, &more), FrameQueue::Wait::kItem);
    EXPECT_EQ(item.pts, 1);
    EXPECT_TRUE(more);
    ASSERT_EQ(q.waitPop(std::chrono::milliseconds(0), &item, &more), FrameQueue::Wait::kItem);
    EXPECT_EQ(item.pts, 2);
    EXPECT_FALSE(more);
    EXPECT_EQ(q.waitPop(std::chrono::milliseconds(0), &item, &more), FrameQueue::Wait::kIdle);
}

TEST(FrameQueue, WaitWithoutALimitEndsOnAPokeAStopOrAnItem) {
    FrameQueue q;
    VideoItem item;
    bool more = false;
    // A poke before the wait is not lost, and ends one wait only.
    q.poke();
    EXPECT_EQ(q.waitPop(std::nullopt, &item, &more), FrameQueue::Wait::kIdle);
    EXPECT_EQ(q.waitPop(std::chrono::milliseconds(0), &item, &more), FrameQueue::Wait::kIdle);
    std::thread t([&] { q.poke(); });
    EXPECT_EQ(q.waitPop(std::nullopt, &item, &more), FrameQueue::Wait::kIdle);
    t.join();

    std::thread s([&] { q.stop(); });
    EXPECT_EQ(q.waitPop(std::nullopt, &item, &more), FrameQueue::Wait::kStop);
    s.join();
    q.restart();
    q.pushPacket(packet(5));
    EXPECT_EQ(q.waitPop(std::nullopt, &item, &more), FrameQueue::Wait::kItem);
}

}  // namespace
}  // namespace tov
