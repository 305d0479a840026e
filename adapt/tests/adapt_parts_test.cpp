// The adapter's other parts: the signals taken from packets and the pipeline's totals, the
// ladders, the levels kept in settings.ini and the Quality page's line.
#include <gtest/gtest.h>

#include "adapt/adapt_text.h"
#include "adapt/remembered_levels.h"
#include "adapt/signal_sampler.h"
#include "adapt/size_ladder.h"
#include "platform/ini.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

// Packets of one second, each arriving `extraMs` later than the path's own 5 ms.
void second(SignalSampler& s, int64_t startUs, double extraMs, int pictures = 30) {
    for (int i = 0; i < pictures; ++i) {
        const int64_t captured = startUs + i * 1000000 / pictures;
        s.onPacket(captured + 5000 + static_cast<int64_t>(extraMs * 1000), true, captured, 10000);
    }
}

TEST(AdaptSignals, QueueDelayIsOverTheSmallestOfTheLastTenSecondsAndItsTrendFollowsIt) {
    SignalSampler s;
    s.restart(0);
    second(s, 0, 0);
    AdaptSignals a = s.sample(1000000, {}, 30);
    ASSERT_TRUE(a.delayKnown);
    EXPECT_NEAR(a.queueDelayMs, 0, 0.01);  // the path's own 5 ms is the base, not a queue
    EXPECT_NEAR(a.receiveMbps, 30 * 10000 * 8 / 1e6, 0.01);
    EXPECT_EQ(a.pictures, 30);
    second(s, 1000000, 40);
    second(s, 2000000, 80);  // two seconds in one sample: the rate is over the whole span
    a = s.sample(3000000, {}, 30);
    EXPECT_NEAR(a.receiveMbps, 60 * 10000 * 8 / 2e6, 0.01);
    EXPECT_NEAR(a.queueDelayMs, 60, 0.01);
    EXPECT_GT(a.delayTrendMsPerS, 0);
    // Ten seconds on, the old base has gone: a path that became slower is no queue.
    for (int i = 3; i < 15; ++i) {
        second(s, int64_t{i} * 1000000, 20);
        a = s.sample(int64_t{i + 1} * 1000000, {}, 30);
    }
    EXPECT_NEAR(a.queueDelayMs, 0, 0.01);
    EXPECT_NEAR(a.delayTrendMsPerS, 0, 0.01);
    // A second without packets: the delay is unknown and the gap reaches to now.
    a = s.sample(17000000, {}, 30);
    EXPECT_FALSE(a.delayKnown);
    EXPECT_EQ(a.pictures, 0);
    EXPECT_GT(a.longestGapMs, 1500);
}

TEST(AdaptSignals, PipelineTotalsBecomeThisSecondsFigures) {
    SignalSampler s;
    s.restart(0);
    VideoTotals t{100, 2000000, 90, 450000, 7, 2};
    AdaptSignals a = s.sample(1000000, t, 60);
    EXPECT_LT(a.decodeMs, 0);  // the first sample only takes the totals as its base
    EXPECT_EQ(a.dropped, 0);
    t = {160, 2000000 + 60 * 12000, 140, 450000 + 50 * 3000, 17, 3};
    a = s.sample(2000000, t, 60);
    EXPECT_NEAR(a.decodeMs, 12, 0.01);
    EXPECT_NEAR(a.presentMs, 3, 0.01);
    EXPECT_EQ(a.dropped, 10);
    EXPECT_EQ(a.backlogResets, 1);
    EXPECT_NEAR(a.load(), 15.0 / (1000.0 / 60), 1e-6);
    t.dropped = 4;  // a new stream counted from 0 again
    a = s.sample(3000000, t, 60);
    EXPECT_EQ(a.dropped, 4);
    EXPECT_LT(a.decodeMs, 0);
}

TEST(AdaptLadders, StepToCheaperPicturesInOrder) {
    const auto sizes = sizeLadder(1080, 2400, 60);
    ASSERT_EQ(sizes.size(), 4u);
    EXPECT_EQ(sizes[0].name(), "1080x2400@60");
    EXPECT_EQ(sizes[1].name(), "1080x2400@30");
    EXPECT_EQ(sizes[2].name(), "720x1600@30");
    EXPECT_EQ(sizes[3].name(), "540x1200@30");
    EXPECT_NEAR(sizes[3].cost, 0.125, 1e-9);
    EXPECT_EQ(sizeLadder(1280, 720, 30).size(), 3u);  // already at 30: no frame-rate rung
    EXPECT_EQ(sizeLadder(0, 0, 60).size(), 1u);       // the phone's own size: bitrate only

    const std::vector<PresetRecord> presets{{"sharp", "Sharp", 60, 1080, 2400},
                                            {"light", "Light", 30, 540, 1200},
                                            {"smooth", "Smooth", 120, 720, 1600},
                                            {"huge", "Huge", 60, 1440, 3200}};
    const auto ladder = presetLadder(presets, "sharp");
    ASSERT_EQ(ladder.size(), 3u);  // "huge" costs more: never a step down
    EXPECT_EQ(ladder[1].preset, "smooth");
    EXPECT_EQ(ladder[2].preset, "light");
    EXPECT_EQ(rungNamed(ladder, "light"), 2);
    EXPECT_EQ(rungNamed(ladder, "gone"), 0);
    EXPECT_EQ(presetLadder(presets, "custom").size(), 1u);
}

TEST(AdaptRemembered, LevelsAreKeptPerPhoneAndLinkAndHostileTextStaysOut) {
    test::TempDir dir;
    const std::wstring file = dir.file(L"settings.ini");
    writeRememberedLevel(file, "R58M123ABC", true, {9000000, "720x1600@30"});
    writeRememberedLevel(file, "R58M123ABC", false, {40000000, "sharp"});
    writeRememberedLevel(file, "evil]\n[stream", true, {5000000, "light"});
    EXPECT_EQ(readRememberedLevel(file, "R58M123ABC", true),
              (RememberedLevel{9000000, "720x1600@30"}));
    EXPECT_EQ(readRememberedLevel(file, "R58M123ABC", false), (RememberedLevel{40000000, "sharp"}));
    EXPECT_EQ(readRememberedLevel(file, "evil]\n[stream", true).bitrate, 5000000);
    EXPECT_EQ(readRememberedLevel(file, "other", true), RememberedLevel{});
    // Nothing else of the file was touched or added.
    EXPECT_EQ(ini::getString(file, L"stream", L"adapt", L"none", 16), L"none");
    ini::writeString(file, L"adapt", L"bad.usb", L"12abc sharp");
    EXPECT_EQ(readRememberedLevel(file, "bad", false), RememberedLevel{});
}

TEST(AdaptText, SaysWhatIsSentAndWhy) {
    AdaptReport r;
    r.sent = {1080, 2400, 60, {}, 1.0};
    r.bitrate = 40000000;
    r.ceiling = 40000000;
    EXPECT_EQ(adaptLine(r), "Sending what you chose: 1080\u00d72400 at 60 fps, 40 Mbps.");
    r.atTop = false;
    r.sent = {720, 1600, 30, {}, 0.2};
    r.bitrate = 9000000;
    r.above = {1080, 2400, 30, {}, 0.5};
    r.pcPictures = 24.2;
    EXPECT_EQ(adaptLine(r), "Sending 720\u00d71600 at 30 fps, 9.0 Mbps: this PC decodes "
                            "1080\u00d72400 at 24 pictures a second.");
    r.pcPictures = 0;
    r.linkMbps = 11.2;
    r.wifi = true;
    EXPECT_EQ(adaptLine(r),
              "Sending 720\u00d71600 at 30 fps, 9.0 Mbps: the Wi-Fi carries 11 Mbps now.");
}

}  // namespace
}  // namespace tov
