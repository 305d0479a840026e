#include "input/outgoing_queue.h"

#include <gtest/gtest.h>

#include <vector>

#include "session/packet.h"

namespace tov {
namespace {

struct Report {
    uint8_t buttons;
    int16_t dx, dy;
    int8_t wheel, hWheel;
    bool operator==(const Report&) const = default;
};

Report report(const EventRecord& r) {
    EXPECT_EQ(r.type, input_msg::kMouseReport);
    return {r.payload[0], static_cast<int16_t>(readU16(&r.payload[1])),
            static_cast<int16_t>(readU16(&r.payload[3])), static_cast<int8_t>(r.payload[5]),
            static_cast<int8_t>(r.payload[6])};
}

using Kind = OutgoingQueue::NextKind;
constexpr int64_t kFarPing = 1LL << 60;

TEST(OutgoingQueue, AHugeMoveIsSpreadOverConsecutiveSlots) {
    OutgoingQueue q;
    q.mouseMotion(0, 100000, 0, 0, 0);
    const int64_t t0 = 1000000;
    std::vector<int16_t> sent;
    std::vector<int64_t> times;
    for (int64_t t = t0; t < t0 + 20000; t += 250) {
        const auto next = q.takeNext(t, kFarPing);
        if (next.kind == Kind::Event) {
            EXPECT_TRUE(next.isMouseReport);
            sent.push_back(report(next.record).dx);
            times.push_back(t);
        } else {
            ASSERT_EQ(next.kind, Kind::Wait);
            if (q.motionPending()) {
                EXPECT_EQ(next.waitUntil, times.back() + 2000);
            }
        }
    }
    EXPECT_EQ(sent, (std::vector<int16_t>{32767, 32767, 32767, 1699}));
    EXPECT_EQ(times, (std::vector<int64_t>{t0, t0 + 2000, t0 + 4000, t0 + 6000}));
    EXPECT_FALSE(q.motionPending());
}

TEST(OutgoingQueue, MotionMergesWithinASlot) {
    OutgoingQueue q;
    EXPECT_EQ(q.takeNext(0, kFarPing).kind, Kind::Wait);  // nothing pending
    q.mouseMotion(0, 5, -3, 0, 0);
    auto first = q.takeNext(10000, kFarPing);
    ASSERT_EQ(first.kind, Kind::Event);
    EXPECT_EQ(report(first.record), (Report{0, 5, -3, 0, 0}));
    for (int i = 0; i < 10; ++i) q.mouseMotion(0, 2, 1, 0, 0);
    EXPECT_EQ(q.takeNext(11000, kFarPing).kind, Kind::Wait);
    auto second = q.takeNext(12000, kFarPing);
    ASSERT_EQ(second.kind, Kind::Event);
    EXPECT_EQ(report(second.record), (Report{0, 20, 10, 0, 0}));
}

TEST(OutgoingQueue, AButtonChangeSendsPendingMotionWithTheOldButtonsFirst) {
    OutgoingQueue q;
    q.mouseMotion(0, 10, 0, 0, 0);
    q.mouseMotion(1, 3, 0, 0, 0);
    // Both go out at once and in order, without waiting for a slot.
    auto a = q.takeNext(0, kFarPing);
    auto b = q.takeNext(0, kFarPing);
    EXPECT_EQ(report(a.record), (Report{0, 10, 0, 0, 0}));
    EXPECT_EQ(report(b.record), (Report{1, 3, 0, 0, 0}));
    EXPECT_FALSE(q.motionPending());
}

TEST(OutgoingQueue, WheelStepsGoOutAtOnceAndAreClamped) {
    OutgoingQueue q;
    q.mouseMotion(0, 0, 0, 300, -2);
    std::vector<Report> reports;
    while (!q.empty()) reports.push_back(report(q.takeNext(0, kFarPing).record));
    EXPECT_EQ(reports,
              (std::vector<Report>{{0, 0, 0, 127, -2}, {0, 0, 0, 127, 0}, {0, 0, 0, 46, 0}}));
}

TEST(OutgoingQueue, EventsFlushMotionAndKeepTheirOrder) {
    OutgoingQueue q;
    q.mouseMotion(2, 0, 0, 0, 0);  // button change: a report already queued
    q.mouseMotion(2, 7, 7, 0, 0);
    q.queueEvent(hidKeyRecord(4, true));
    auto a = q.takeNext(0, kFarPing), b = q.takeNext(0, kFarPing), c = q.takeNext(0, kFarPing);
    EXPECT_EQ(report(a.record), (Report{2, 0, 0, 0, 0}));
    EXPECT_EQ(report(b.record), (Report{2, 7, 7, 0, 0}));
    EXPECT_EQ(c.record, hidKeyRecord(4, true));
    EXPECT_FALSE(c.isMouseReport);
}

TEST(OutgoingQueue, TouchMovesOfOnePointerCollapseIntoTheNewest) {
    OutgoingQueue q;
    q.queueEvent(touchRecord(TouchAction::Down, 0, 0.1f, 0.1f));
    q.queueEvent(touchRecord(TouchAction::Move, 0, 0.2f, 0.2f));
    q.queueEvent(touchRecord(TouchAction::Move, 0, 0.3f, 0.3f));
    q.queueEvent(touchRecord(TouchAction::Move, 1, 0.7f, 0.7f));
    q.queueEvent(touchRecord(TouchAction::Move, 1, 0.6f, 0.6f));
    q.queueEvent(touchRecord(TouchAction::Move, 0, 0.4f, 0.4f));
    q.queueEvent(touchRecord(TouchAction::Up, 0, 0.4f, 0.4f));
    std::vector<EventRecord> out;
    while (!q.empty()) out.push_back(q.takeNext(0, kFarPing).record);
    EXPECT_EQ(out, (std::vector<EventRecord>{touchRecord(TouchAction::Down, 0, 0.1f, 0.1f),
                                             touchRecord(TouchAction::Move, 0, 0.3f, 0.3f),
                                             touchRecord(TouchAction::Move, 1, 0.6f, 0.6f),
                                             touchRecord(TouchAction::Move, 0, 0.4f, 0.4f),
                                             touchRecord(TouchAction::Up, 0, 0.4f, 0.4f)}));
}

TEST(OutgoingQueue, BulkWaitsBehindEventsAndADueReport) {
    OutgoingQueue q;
    q.queueBulk({50, 1});
    q.queueEvent(hidKeyRecord(5, true));
    q.mouseMotion(0, 1, 0, 0, 0);  // pending motion, due at once
    auto a = q.takeNext(100000, kFarPing);
    EXPECT_EQ(a.record, hidKeyRecord(5, true));
    auto b = q.takeNext(100000, kFarPing);  // a report is due: it goes before the bulk
    EXPECT_TRUE(b.isMouseReport);
    q.mouseMotion(0, 1, 0, 0, 0);
    auto c = q.takeNext(100500, kFarPing);  // within the slot, bulk may go
    ASSERT_EQ(c.kind, Kind::Bulk);
    EXPECT_EQ(c.bulk, (std::vector<uint8_t>{50, 1}));
}

TEST(OutgoingQueue, PingsComeWhenNothingElseWaits) {
    OutgoingQueue q;
    auto w = q.takeNext(1000, 5000);
    ASSERT_EQ(w.kind, Kind::Wait);
    EXPECT_EQ(w.waitUntil, 5000);
    EXPECT_EQ(q.takeNext(4950, 5000).waitUntil, 5050);  // never less than 100 us
    EXPECT_EQ(q.takeNext(5000, 5000).kind, Kind::Ping);
}

TEST(OutgoingQueue, DroppingClipItemsKeepsClipOptionsAndEvents) {
    OutgoingQueue q;
    q.queueBulk({50, 'a'});
    q.queueBulk({51, 'h'});
    q.queueBulk({52, 'c'});
    q.queueEvent(hidKeyRecord(6, true));
    q.dropClipItems();
    EXPECT_EQ(q.takeNext(0, kFarPing).kind, Kind::Event);
    auto b = q.takeNext(0, kFarPing);
    ASSERT_EQ(b.kind, Kind::Bulk);
    EXPECT_EQ(b.bulk[0], 50);
    EXPECT_TRUE(q.empty());
}

TEST(OutgoingQueue, ClearForgetsEverythingIncludingButtons) {
    OutgoingQueue q;
    q.mouseMotion(1, 4, 4, 0, 0);
    q.queueBulk({52});
    q.clear();
    EXPECT_TRUE(q.empty());
    // Buttons were forgotten, so pressing button 1 again counts as a change and goes out at once.
    q.mouseMotion(1, 0, 0, 0, 0);
    EXPECT_EQ(report(q.takeNext(0, kFarPing).record), (Report{1, 0, 0, 0, 0}));
}

TEST(OutgoingQueue, ARunawayAccumulatorSaturatesInsteadOfWrapping) {
    OutgoingQueue q;
    for (int i = 0; i < 3; ++i) q.mouseMotion(0, INT32_MAX, 0, 0, 0);
    auto r = q.takeNext(0, kFarPing);
    EXPECT_EQ(report(r.record).dx, 32767);
}

}  // namespace
}  // namespace tov
