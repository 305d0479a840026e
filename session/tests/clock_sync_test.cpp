// The clock offset comes from the fastest ping exchanges only.
#include "session/clock_sync.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <random>

namespace tov {
namespace {

// docs/phone-app.md §Pong
TEST(ClockSync, NotSyncedUntilTheFirstUsablePong) {
    ClockSync clock;
    int64_t pc = 0;
    EXPECT_FALSE(clock.toPcTime(1000, &pc));
    EXPECT_EQ(clock.smallestRoundTrip(), std::numeric_limits<int64_t>::max());

    // Sent at 1000, answered with phone clock 501050, back at 1100: round trip 100, the phone
    // read its clock at PC time 1050, so the phone is 500000 ahead.
    clock.onPong(1000, 501050, 1100);
    EXPECT_TRUE(clock.synced());
    EXPECT_EQ(clock.offset(), 500000);
    EXPECT_EQ(clock.smallestRoundTrip(), 100);
    ASSERT_TRUE(clock.toPcTime(600000, &pc));
    EXPECT_EQ(pc, 100000);
}

TEST(ClockSync, SlowExchangesDoNotMoveTheOffsetButNearlyAsFastOnesDo) {
    ClockSync clock;
    clock.onPong(0, 10050, 100);  // round trip 100, offset 10000
    ASSERT_EQ(clock.offset(), 10000);

    clock.onPong(1000, 1200 + 9999, 1400);  // round trip 400 > 100 + 200: ignored
    EXPECT_EQ(clock.offset(), 10000);
    EXPECT_EQ(clock.smallestRoundTrip(), 100);

    clock.onPong(2000, 2150 + 10007, 2300);  // round trip 300 = 100 + 200: refreshes the offset
    EXPECT_EQ(clock.offset(), 10007);
    EXPECT_EQ(clock.smallestRoundTrip(), 100);  // but the smallest stays

    clock.onPong(3000, 3025 + 10003, 3050);  // a new best
    EXPECT_EQ(clock.offset(), 10003);
    EXPECT_EQ(clock.smallestRoundTrip(), 50);
    EXPECT_EQ(clock.pongCount(), 4u);
}

TEST(ClockSync, TheOffsetIsNeverFurtherOffThanTheUncertaintyItClaims) {
    // Exchanges with random, lopsided delays on each leg: wherever the phone read its clock
    // within the round trip, the offset stays within the uncertainty of the best exchange.
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<int64_t> leg(1, 5000);
    const int64_t trueOffset = 987654321;
    ClockSync clock;
    int64_t now = 1'000'000;
    for (int i = 0; i < 2000; ++i) {
        const int64_t sent = now;
        const int64_t read = sent + leg(random);  // PC time at which the phone read its clock
        const int64_t back = read + leg(random);
        clock.onPong(sent, read + trueOffset, back);
        ASSERT_TRUE(clock.synced());
        ASSERT_LE(std::llabs(clock.offset() - trueOffset),
                  ClockSync::uncertaintyFor(clock.smallestRoundTrip()))
            << "after exchange " << i;
        now = back + 1000;
    }
}

TEST(ClockSync, OddRoundTripHalvesByIntegerDivision) {
    ClockSync clock;
    clock.onPong(0, 1000, 7);  // 1000 - 7/2 - 0 = 997
    EXPECT_EQ(clock.offset(), 997);
}

TEST(ClockSync, NegativeRoundTripOnlyCountsThePong) {
    ClockSync clock;
    clock.onPong(5000, 123456, 4000);
    EXPECT_FALSE(clock.synced());
    EXPECT_EQ(clock.pongCount(), 1u);
    EXPECT_EQ(clock.smallestRoundTrip(), std::numeric_limits<int64_t>::max());

    clock.onPong(0, 20, 10);
    clock.onPong(100, 999999, 50);  // clock stepped back after syncing
    EXPECT_EQ(clock.offset(), 15);
    EXPECT_EQ(clock.pongCount(), 3u);
}

TEST(ClockSync, GarbageTimesFromThePhoneAreSurvivable) {
    ClockSync clock;
    const int64_t big = std::numeric_limits<int64_t>::max();
    const int64_t small = std::numeric_limits<int64_t>::min();
    clock.onPong(small, big, big);  // a round trip that wraps
    clock.onPong(-big, small, 1);   // nearly the largest round trip, then a slack check on it
    clock.onPong(0, small, 10);
    int64_t pc = 0;
    EXPECT_TRUE(clock.toPcTime(big, &pc));
    EXPECT_EQ(clock.pongCount(), 3u);
}

TEST(ClockSync, ResetForgetsTheLastConnection) {
    ClockSync clock;
    clock.onPong(0, 10, 10);
    clock.reset();
    EXPECT_FALSE(clock.synced());
    EXPECT_EQ(clock.pongCount(), 0u);
    // The first pong after a reset counts however slow it is.
    clock.onPong(0, 5000 + 777, 10000);
    EXPECT_TRUE(clock.synced());
    EXPECT_EQ(clock.offset(), 777);
}

}  // namespace
}  // namespace tov
