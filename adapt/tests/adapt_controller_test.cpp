// The control loops as a pure unit, over traces of a modelled link and PC: a link that queues
// what it cannot carry, a decoder whose time grows with the pixels sent. The delay signals go
// through the real sampler, so its window and trend are what the loops see live.
#include "adapt/adapt_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

#include "adapt/pc_load_board.h"
#include "adapt/signal_sampler.h"
#include "adapt/size_ladder.h"

namespace tov {
namespace {

constexpr int64_t kMbit = 1000000;

// One second of the world as the controller's level meets it.
struct World {
    double linkMbps = 1000;  // what the link carries
    double load0 = 0.3;      // decode + present per picture over the frame interval, at rung 0
    bool still = false;      // the phone's screen does not change
    double rung0Load = -1;   // when set: the load at rung 0, whatever the others predict
};

class Trace {
  public:
    Trace(int64_t ceiling, std::vector<AdaptRung> ladder, AdaptConfig config = {})
        : controller_(config), ladder_(std::move(ladder)) {
        controller_.start(0, ceiling, rungCosts(ladder_), {ceiling, 0});
        sampler_.restart(0);
    }

    // Runs `seconds` ticks of `world`; returns the decisions that changed the level.
    std::vector<AdaptDecision> run(int seconds, const std::function<World(int64_t)>& world) {
        std::vector<AdaptDecision> changes;
        for (int i = 0; i < seconds; ++i) {
            const World w = world(nowMs_);
            const AdaptSignals s = second(w);
            nowMs_ += 1000;
            const AdaptDecision d = controller_.step(nowMs_, s);
            EXPECT_LE(controller_.level().bitrate, controller_.ceiling()) << "at " << nowMs_;
            if (d.changed()) {
                changes.push_back(d);
                changeTimes_.push_back(nowMs_);
            }
            if (d.rungChanged) rungTimes_.push_back({nowMs_, d.rungCause});
            bitrates_.push_back(controller_.level().bitrate);
        }
        return changes;
    }
    std::vector<AdaptDecision> run(int seconds, World w) {
        return run(seconds, [w](int64_t) { return w; });
    }

    int changesBetween(int64_t fromMs, int64_t toMs) const {
        return static_cast<int>(std::count_if(changeTimes_.begin(), changeTimes_.end(),
                                              [&](int64_t t) { return t > fromMs && t <= toMs; }));
    }
    // When the rung changed, and why.
    const std::vector<std::pair<int64_t, AdaptDecision::Cause>>& rungTimes() const {
        return rungTimes_;
    }
    AdaptController& controller() { return controller_; }
    int64_t now() const { return nowMs_; }

  private:
    // The packets of one second through the sampler: the phone sends at the level's bitrate,
    // 60 pictures a second (or 2 on a still screen); the link carries at most its rate and
    // queues the rest, first in, first out.
    AdaptSignals second(const World& w) {
        const AdaptLevel level = controller_.level();
        const AdaptRung& rung = ladder_[static_cast<size_t>(level.rung)];
        const int pictures = w.still ? 2 : 60;
        const double bits = static_cast<double>(level.bitrate) / pictures;
        const int64_t start = nowMs_ * 1000;
        VideoTotals totals = totals_;
        for (int i = 0; i < pictures; ++i) {
            const int64_t captured = start + i * 1000000 / pictures;
            const double sendUs = bits / w.linkMbps;  // bits over bits per microsecond
            linkFreeUs_ = std::max(linkFreeUs_, static_cast<double>(captured)) + sendUs;
            const int64_t arrived = static_cast<int64_t>(linkFreeUs_) + 3000;  // 3 ms of path
            inFlight_.push_back({arrived, captured, static_cast<size_t>(bits / 8)});
            ++totals.decodedPictures;
            ++totals.presentedPictures;
            const double intervalUs = 1e6 / (rung.fps > 0 ? rung.fps : 60);
            const double load =
                level.rung == 0 && w.rung0Load >= 0 ? w.rung0Load : w.load0 * rung.cost;
            totals.decodeMicros += static_cast<int64_t>(load * intervalUs * 0.8);
            totals.presentMicros += static_cast<int64_t>(load * intervalUs * 0.2);
        }
        totals_ = totals;
        // What the link delivered by the end of this second reaches the PC in it.
        const int64_t end = start + 1000000;
        while (!inFlight_.empty() && inFlight_.front().arrived <= end) {
            const Packet& p = inFlight_.front();
            sampler_.onPacket(p.arrived, true, p.captured, p.bytes);
            inFlight_.pop_front();
        }
        return sampler_.sample(end, totals_, rung.fps > 0 ? rung.fps : 60);
    }

    struct Packet {
        int64_t arrived;
        int64_t captured;
        size_t bytes;
    };
    AdaptController controller_;
    SignalSampler sampler_;
    std::deque<Packet> inFlight_;  // sent, not yet through the link
    std::vector<AdaptRung> ladder_;
    VideoTotals totals_;
    double linkFreeUs_ = 0;
    int64_t nowMs_ = 0;
    std::vector<int64_t> changeTimes_;
    std::vector<std::pair<int64_t, AdaptDecision::Cause>> rungTimes_;
    std::vector<int64_t> bitrates_;
};

const std::vector<AdaptRung> kOneRung{AdaptRung{}};

TEST(AdaptBitrate, CongestionCutsWithinTwoTicksToUnderWhatArrives) {
    // A link a little slower than the stream: the queue builds slowly.
    Trace mild(40 * kMbit, kOneRung);
    mild.run(5, World{});
    auto cuts = mild.run(2, World{36});
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_EQ(cuts[0].bitrateCause, AdaptDecision::Cause::Congestion);
    EXPECT_LE(cuts[0].level.bitrate, static_cast<int64_t>(0.86 * 36 * kMbit));
    EXPECT_GE(cuts[0].level.bitrate, static_cast<int64_t>(0.80 * 36 * kMbit));

    // A link far slower (8 of 40): the delay is large after one second, and the cut deeper.
    Trace heavy(40 * kMbit, kOneRung);
    heavy.run(5, World{});
    cuts = heavy.run(1, World{8});
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_EQ(cuts[0].bitrateCause, AdaptDecision::Cause::DeepDelay);
    EXPECT_LE(cuts[0].level.bitrate, 5 * kMbit);
}

// 30 s on a link of `slowMbps` (the level must end under `cutBelow`), then two minutes of a free
// link: how long until the level is back at the user's 40 Mbit/s; -1 when it never is.
int64_t msBackAfterFreeing(Trace& t, double slowMbps, int64_t cutBelow) {
    t.run(30, World{slowMbps});
    EXPECT_LE(t.controller().level().bitrate, cutBelow);
    const int64_t freed = t.now();
    int64_t backAt = -1;
    t.run(120, [&](int64_t now) {
        if (backAt < 0 && t.controller().level().bitrate == 40 * kMbit) backAt = now;
        return World{};
    });
    return backAt < 0 ? -1 : backAt - freed;
}

TEST(AdaptBitrate, RecoversToTheUsersCeilingOnceTheLinkIsFreedAndNeverPassesIt) {
    Trace t(40 * kMbit, kOneRung);
    const int64_t back = msBackAfterFreeing(t, 8, 9 * kMbit);
    ASSERT_GE(back, 0) << "never back at the user's bitrate";
    EXPECT_LE(back, 60000);
    EXPECT_EQ(t.controller().level().bitrate, 40 * kMbit);

    // The user lowers the bitrate: the level follows at once and stays under it.
    EXPECT_TRUE(t.controller().setCeiling(12 * kMbit, {}));
    EXPECT_EQ(t.controller().level().bitrate, 12 * kMbit);
    t.run(30, World{});
    EXPECT_EQ(t.controller().level().bitrate, 12 * kMbit);
}

TEST(AdaptBitrate, FromTheFloorTheFreedLinkIsWonBackWithinAMinute) {
    // A link that carried almost nothing (a phone far from the access point) leaves the level at
    // the floor; once it carries everything again, the steps must grow or the climb to the
    // user's bitrate takes minutes.
    Trace t(40 * kMbit, kOneRung);
    const int64_t back = msBackAfterFreeing(t, 2, 2500000);
    ASSERT_GE(back, 0) << "never back at the user's bitrate";
    EXPECT_LE(back, 60000);
}

TEST(AdaptBitrate, AStillScreenIsNotCongestion) {
    // Few pictures, little arriving: nothing is cut, nor is it measured as the link's rate.
    Trace t(40 * kMbit, kOneRung);
    World still;
    still.still = true;
    EXPECT_TRUE(t.run(60, still).empty());
    EXPECT_TRUE(t.run(20, World{}).empty());
    EXPECT_EQ(t.controller().level().bitrate, 40 * kMbit);
}

TEST(AdaptBitrate, ASteadyLinkSettlesWithoutSeeSawing) {
    Trace t(40 * kMbit, kOneRung);
    t.run(600, World{8});
    // After settling: at most 2 changes in any minute, and never far from what the link carries.
    for (int64_t from = 240000; from + 60000 <= t.now(); from += 10000) {
        EXPECT_LE(t.changesBetween(from, from + 60000), 2) << "minute from " << from;
    }
    EXPECT_GE(t.controller().level().bitrate, 5 * kMbit);
    EXPECT_LE(t.controller().level().bitrate, 9 * kMbit);
}

TEST(AdaptSize, ADecoderBoundPcStepsDownThenBackUpWhenTheLoadGoes) {
    const std::vector<AdaptRung> ladder = sizeLadder(1080, 2400, 60);
    Trace t(40 * kMbit, ladder);
    World slow;
    slow.load0 = 1.3;  // this PC needs 130% of the frame interval at the full size
    const auto down = t.run(60, slow);
    ASSERT_FALSE(down.empty());
    EXPECT_EQ(down[0].rungCause, AdaptDecision::Cause::Decoder);
    EXPECT_EQ(down[0].level.rung, 1);
    // It rests where the load fits, without trying the too-costly size again and again.
    EXPECT_EQ(t.controller().level().rung, 1);
    EXPECT_EQ(t.controller().level().bitrate, 40 * kMbit);  // not the link's fault

    World heavier;
    heavier.load0 = 2.5;  // something else takes the PC: one more step, not before 10 s
    const auto more = t.run(30, heavier);
    ASSERT_EQ(more.size(), 1u);
    EXPECT_EQ(t.controller().level().rung, 2);

    const auto up = t.run(200, World{});  // the load goes
    EXPECT_EQ(t.controller().level().rung, 0);
    ASSERT_EQ(up.size(), 2u);
    EXPECT_EQ(up[0].rungCause, AdaptDecision::Cause::Quiet);
    // At most one size change per 10 s.
    const auto& times = t.rungTimes();
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i].first - times[i - 1].first, 10000);
    }
}

TEST(AdaptSize, APcFarBehindGoesStraightToASizeItCanKeep) {
    // Four times too slow at the full size (a phone's screen at 60 fps on a small laptop): one
    // step at a time would leave it dropping pictures for half a minute.
    const std::vector<AdaptRung> ladder = sizeLadder(1080, 2400, 60);
    Trace t(40 * kMbit, ladder);
    World w;
    w.load0 = 4.0;
    const auto changes = t.run(60, w);
    ASSERT_EQ(changes.size(), 1u);
    const AdaptRung& kept = ladder[static_cast<size_t>(changes[0].level.rung)];
    EXPECT_LE(w.load0 * kept.cost, AdaptConfig{}.loadLimit);
    // And the size just above would not have done.
    const AdaptRung& above = ladder[static_cast<size_t>(changes[0].level.rung - 1)];
    EXPECT_GT(w.load0 * above.cost, AdaptConfig{}.loadLimit);
}

TEST(AdaptSize, AStepUpTakenBackWaitsLongerEachTime) {
    // A PC that manages rung 1 easily but not rung 0, though rung 1's load predicts it would:
    // it tries rung 0 again ever more rarely.
    const std::vector<AdaptRung> ladder = sizeLadder(1080, 2400, 60);
    Trace t(40 * kMbit, ladder);
    World w;
    w.load0 = 0.6;
    w.rung0Load = 1.2;
    t.run(1200, w);
    std::vector<int64_t> ups;
    for (const auto& [time, cause] : t.rungTimes()) {
        if (cause == AdaptDecision::Cause::Quiet) ups.push_back(time);
    }
    ASSERT_GE(ups.size(), 4u);
    for (size_t i = 2; i < ups.size(); ++i) {
        EXPECT_GE(ups[i] - ups[i - 1], ups[i - 1] - ups[i - 2]) << "step up " << i;
    }
    EXPECT_GE(ups.back() - ups[ups.size() - 2], 160000);
    EXPECT_EQ(t.controller().level().bitrate, 40 * kMbit);
}

TEST(AdaptSize, TwoStreamsOnOnePcSettleAtSizesBothCanKeep) {
    // Two phones, each fine alone (0.6 of the PC at its full size), too much together: one
    // steps down, not both, and both then hold where the PC keeps up.
    const std::vector<AdaptRung> ladder = sizeLadder(1080, 2400, 60);
    PcLoadBoard board;
    struct Stream {
        AdaptController controller;
        int id;
        double load0;
    };
    Stream streams[2] = {{AdaptController{}, board.join(), 0.6},
                         {AdaptController{}, board.join(), 0.55}};
    for (Stream& st : streams)
        st.controller.start(0, 40 * kMbit, rungCosts(ladder), {40 * kMbit, 0});
    auto loadOf = [&](const Stream& st) {
        return st.load0 * ladder[static_cast<size_t>(st.controller.level().rung)].cost;
    };
    double worstAfterSettling = 0;
    int changes = 0;
    for (int64_t now = 1000; now <= 300000; now += 1000) {
        for (Stream& st : streams)
            board.report(st.id, loadOf(st),
                         st.controller.level().rung + 1 < st.controller.rungCount());
        for (Stream& st : streams) {
            const AdaptRung& rung = ladder[static_cast<size_t>(st.controller.level().rung)];
            AdaptSignals s;
            s.fps = rung.fps;
            s.pictures = rung.fps;
            s.decodeMs = loadOf(st) * s.frameIntervalMs();
            s.presentMs = 0;
            const PcLoadBoard::Share share = board.shareOf(st.id);
            s.othersLoad = share.othersLoad;
            s.givesWay = share.givesWay;
            if (st.controller.step(now, s).rungChanged) ++changes;
        }
        if (now > 60000)
            worstAfterSettling =
                std::max(worstAfterSettling, loadOf(streams[0]) + loadOf(streams[1]));
    }
    EXPECT_EQ(streams[0].controller.level().rung + streams[1].controller.level().rung > 0, true);
    EXPECT_EQ(streams[1].controller.level().rung, 0) << "the cheaper stream kept its size";
    EXPECT_LE(worstAfterSettling, AdaptConfig{}.loadLimit);
    EXPECT_LE(changes, 3) << "settled instead of cycling";
}

}  // namespace
}  // namespace tov
