#include "video/frame_stats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tov {
namespace {

TEST(GapSeries, MeanSpreadAndLargestGapInMilliseconds) {
    // Gaps of 10, 20 and 30 ms.
    const GapSeries s = gapSeries({1000000, 1010000, 1030000, 1060000});
    EXPECT_EQ(s.gaps, 3u);
    EXPECT_DOUBLE_EQ(s.mean, 20.0);
    EXPECT_NEAR(s.sd, 8.164966, 1e-6);  // population deviation
    EXPECT_DOUBLE_EQ(s.max, 30.0);
    EXPECT_EQ(s.shorterThan(20.0), 1);
}

TEST(GapSeries, EvenGapsHaveNoSpreadEvenWithRounding) {
    std::vector<int64_t> t;
    for (int i = 0; i < 60; ++i) t.push_back(5000000000LL + i * 16667LL);
    const GapSeries s = gapSeries(t);
    EXPECT_NEAR(s.mean, 16.667, 1e-9);
    EXPECT_GE(s.sd, 0.0);  // never the square root of a rounding error below zero
    EXPECT_LT(s.sd, 1e-3);
}

TEST(GapSeries, NoGapsGiveMinusOne) {
    for (const auto& times : {std::vector<int64_t>{}, std::vector<int64_t>{42}}) {
        const GapSeries s = gapSeries(times);
        EXPECT_EQ(s.gaps, 0u);
        EXPECT_EQ(s.mean, -1.0);
        EXPECT_EQ(s.sd, -1.0);
        EXPECT_EQ(s.max, -1.0);
    }
}

FrameRecord record(int64_t pts, int64_t captured, int64_t arrived, int64_t shown) {
    FrameRecord r;
    r.pts = pts;
    r.captured = captured;
    r.arrived = arrived;
    r.decoded = shown ? shown - 1000 : 0;
    r.shown = shown;
    r.bytes = 1000;
    return r;
}

TEST(TimingLine, SummarisesCaptureArrivalShowingAndTripSpread) {
    // 30 fps capture; the second and third packets arrive bunched; the third is not shown.
    const std::vector<FrameRecord> records = {
        record(100000, 200000, 210000, 215000),
        record(133333, 233333, 250000, 255000),
        record(166667, 240000, 251000, 0),
        record(200000, 300000, 312000, 318000),
    };
    EXPECT_EQ(timingLine(records, 1000.0 / 30, 60.0),
              "timing: expect 33.3 | capture gap 33.3 sd 0.0 max 33.3 | arrive gap 34.0 sd 24.9 "
              "max 61.0, bunched 1 | shown 3 of 4, gap 51.5 sd 11.5 max 63.0 | trip spread "
              "6.7 ms | monitor 60 Hz");
}

TEST(TimingLine, TripSpreadIsMinusOneWithoutClockMappingAndNothingShownIsMinusOne) {
    const std::vector<FrameRecord> records = {record(0, 0, 1000, 0), record(16667, 0, 18000, 0)};
    EXPECT_EQ(timingLine(records, 1000.0 / 60, 0.0),
              "timing: expect 16.7 | capture gap 16.7 sd 0.0 max 16.7 | arrive gap 17.0 sd 0.0 "
              "max 17.0, bunched 0 | shown 0 of 2, gap -1.0 sd -1.0 max -1.0 | trip spread -1.0 "
              "ms | monitor 0 Hz");
}

TEST(TimingLine, NeedsTwoRecords) {
    EXPECT_EQ(timingLine({}, 16.7, 60.0), "");
    EXPECT_EQ(timingLine({record(1, 2, 3, 4)}, 16.7, 60.0), "");
}

TEST(StatisticsLine, AllFieldsInOrderWithFailureCodeInHex) {
    IntervalReport r;
    r.rx = 61;
    r.decoded = 60;
    r.shown = 58;
    r.waitingForKey = 1;
    r.bltFailures = 2;
    r.lastBltResult = 0x887A0005u;  // a failure code is negative as a 32-bit result
    r.queueLength = 3;
    r.phoneToPcMs = 12.34;
    r.decodeMs = 4.06;
    r.latencyMs = 31;
    r.streamWidth = 1080;
    r.streamHeight = 2400;
    r.frameWidth = 1088;
    r.frameHeight = 2400;
    r.backWidth = 383;
    r.backHeight = 852;
    EXPECT_EQ(statisticsLine(r),
              "video: rx 61, decoded 60, shown 58, waiting-for-key 1, blt-fail 2 (0x887a0005), "
              "queue 3 | phone->PC 12.3 ms, decode 4.1 ms, total 31 ms | 1080x2400 frame "
              "1088x2400 back 383x852");
}

TEST(DurationSum, MeansAndTheirAbsence) {
    DurationSum d;
    EXPECT_EQ(d.meanMs(), -1.0);
    EXPECT_EQ(d.truncatedMeanMs(), -1);
    d.add(1500);
    d.add(2999);
    EXPECT_DOUBLE_EQ(d.meanMs(), 2.2495);
    EXPECT_EQ(d.truncatedMeanMs(), 2);
}

}  // namespace
}  // namespace tov
