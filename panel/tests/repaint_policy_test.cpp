// The repaint policy over the real view: what a window covered, uncovered, left open over
// midnight or showing the pairing card draws, and when.
#include "panel/repaint_policy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "panel/tests/panel_harness.h"

namespace tov::panel::test {
namespace {

const RectF kClient{0, 0, 1060, 1600};  // every page shows whole

// The seconds since 1970 of a local time.
int64_t localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&t));
}

// A window: the view, its policy, and what it does with the policy's answers.
struct Window {
    Harness h{connectedModel()};
    RepaintPolicy policy{h.view()};
    Sight sight;
    int paints = 0;

    void paint(bool fresh = false, RectF asked = kClient) {
        policy.paintArea(fresh, asked, kClient, h.now);
        policy.painted();
        ++paints;
    }
    // The App's model changed; a paint follows whatever the policy asks to be drawn.
    Repaint modelChanged() {
        h.view().updateModel(h.model());
        return handle(policy.changed(true, sight, kClient, h.now));
    }
    Repaint handle(Repaint r) {
        if (r.kind == Repaint::Kind::Area || r.kind == Repaint::Kind::Whole) paint();
        return r;
    }
};

TEST(RepaintPolicy, ChangesMadeWhileCoveredAreDrawnOnceTheWindowIsSeenWithoutBeingActivated) {
    Window w;
    w.paint(true);
    w.h.model().detail = "Pixel 9";
    EXPECT_EQ(w.modelChanged().kind, Repaint::Kind::Area);

    // Covered: nothing is drawn, and the window keeps looking whether it is seen again.
    w.sight.occluded = true;
    w.h.model().linkState = LinkState::Live;
    const int paints = w.paints;
    EXPECT_EQ(w.modelChanged().kind, Repaint::Kind::Nothing);
    EXPECT_TRUE(w.policy.stale());
    EXPECT_GT(w.policy.timers(false).sightMs, 0u);
    EXPECT_EQ(w.handle(w.policy.sightCheck(w.sight)).kind, Repaint::Kind::Nothing);

    // Uncovered (another window moved away; this one was not activated): drawn whole, once.
    w.sight.occluded = false;
    EXPECT_EQ(w.handle(w.policy.sightCheck(w.sight)).kind, Repaint::Kind::Whole);
    EXPECT_EQ(w.paints, paints + 1);
    EXPECT_FALSE(w.policy.stale());
    EXPECT_EQ(w.policy.timers(false).sightMs, 0u);
    EXPECT_EQ(w.policy.sightCheck(w.sight).kind, Repaint::Kind::Nothing);
    EXPECT_TRUE(w.h.textOp(L"Live"));

    // Minimized, nothing runs; restoring the window repaints it whole.
    EXPECT_EQ(w.policy.timers(true).sightMs, 0u);
}

TEST(RepaintPolicy, APaintOfAnUncoveredPartAlsoDrawsWhatElseMovedOn) {
    Window w;
    w.h.model().updater.state = 4;
    w.h.model().updater.time = localTime(2026, 12, 10, 9, 5, 0);
    int64_t wall = localTime(2026, 12, 10, 23, 59, 30);
    w.h.view().wallClock = [&wall] { return wall; };
    w.h.showPage(Page::Settings);
    w.paint(true);
    // Past midnight, before the clock's timer: a paint of another part of the window draws the
    // text that moved on too, or the window would be taken to show it from then on.
    wall = localTime(2026, 12, 11, 0, 0, 0);
    const RectF corner{0, 0, 20, 20};
    const RectF drawn = w.policy.paintArea(false, corner, kClient, w.h.now).value_or(kClient);
    const DrawOp* status = w.h.textOp(L"Checked on 10 Dec at 09:05.");
    ASSERT_NE(status, nullptr);
    EXPECT_LE(drawn.left, std::min(corner.left, status->rect.left));
    EXPECT_LE(drawn.top, std::min(corner.top, status->rect.top));
    EXPECT_GE(drawn.right, status->rect.right);
    EXPECT_GE(drawn.bottom, status->rect.bottom);
}

TEST(RepaintPolicy, TheTimeOfTheLastUpdateCheckIsRedrawnAtMidnight) {
    Window w;
    w.h.model().updater.state = 4;
    w.h.model().updater.time = localTime(2026, 12, 10, 9, 5, 0);
    int64_t wall = localTime(2026, 12, 10, 23, 59, 30);
    w.h.view().wallClock = [&wall] { return wall; };
    w.h.showPage(Page::Settings);
    w.h.view().updateModel(w.h.model());
    w.paint(true);
    EXPECT_TRUE(w.h.textOp(L"Checked today at 09:05."));
    // Nothing else moves on the panel: only the clock wakes it.
    EXPECT_EQ(w.policy.timers(false).statsMs, 0u);
    EXPECT_EQ(w.policy.timers(false).animationMs, 0u);
    const uint64_t due = w.policy.timers(false).clockAtMs;
    ASSERT_GT(due, w.h.now);
    EXPECT_LE(due, w.h.now + 32000);

    w.h.now = due;
    wall = localTime(2026, 12, 11, 0, 0, 1);
    EXPECT_EQ(w.handle(w.policy.changed(true, w.sight, kClient, w.h.now)).kind,
              Repaint::Kind::Area);
    EXPECT_TRUE(w.h.textOp(L"Checked on 10 Dec at 09:05."));
    EXPECT_EQ(w.policy.timers(false).clockAtMs, 0u);  // it says the same from now on
}

TEST(RepaintPolicy, ThePairingCodeIsEncodedOncePerCard) {
    Window w;
    w.h.showPage(Page::Settings);
    WifiState& card = w.h.model().wifiState;
    card.cardOpen = true;
    card.step = WifiStep::Looking;
    card.pairingText = "WIFI:T:ADB;S:tovenmar-k3v9q0x2m1;P:7hq2mz8c4w1pr5t0;;";
    w.h.model().linkState = LinkState::Live;
    w.modelChanged();
    // The live dot pulses and the statistics move: the drawing is built again and again.
    for (int i = 0; i < 24; ++i) {
        w.h.now += 80;
        w.h.model().statFps = 30 + i;
        w.modelChanged();
        w.handle(w.policy.animationTick(w.sight, kClient, w.h.now));
    }
    EXPECT_EQ(w.h.view().state().pairingQr.encodings(), 1);
    card.pairingText = "WIFI:T:ADB;S:tovenmar-p0q1r2s3t4;P:a1b2c3d4e5f6g7h8;;";
    w.modelChanged();
    EXPECT_EQ(w.h.view().state().pairingQr.encodings(), 2);
}

}  // namespace
}  // namespace tov::panel::test
