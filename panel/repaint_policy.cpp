#include "panel/repaint_policy.h"

#include "panel/draw_diff.h"

namespace tov::panel {

Repaint RepaintPolicy::changed(bool changed, const Sight& sight, const RectF& client,
                               uint64_t nowMs) {
    if (sight.hidden()) {
        stale_ = stale_ || changed;
        return {};
    }
    if (stale_) return redrawWhole();
    if (!changed && view_.animationIntervalMs() == 0) return {};
    view_.build(client.right, client.bottom, nowMs);
    prebuilt_ = true;
    if (auto area = changedArea(shown_, view_.drawList(), client)) {
        return {Repaint::Kind::Area, *area};
    }
    return {};
}

Repaint RepaintPolicy::animationTick(const Sight& sight, const RectF& client, uint64_t nowMs) {
    // The pulse alone moves: a present of the whole drawing for a few pixels would cost far
    // more. A blinking caret is drawn by the view.
    if (view_.pulseDot() && !view_.state().edit.active()) {
        if (sight.hidden()) return {};
        return {Repaint::Kind::Pulse, {}};
    }
    return changed(false, sight, client, nowMs);
}

Repaint RepaintPolicy::sightCheck(const Sight& sight) {
    if (stale_ && !sight.hidden()) return redrawWhole();
    return {};
}

Repaint RepaintPolicy::redrawWhole() {
    prebuilt_ = false;
    return {Repaint::Kind::Whole, {}};
}

std::optional<RectF> RepaintPolicy::paintArea(bool freshTarget, const RectF& asked,
                                              const RectF& client, uint64_t nowMs) {
    if (!prebuilt_) view_.build(client.right, client.bottom, nowMs);
    prebuilt_ = false;
    if (freshTarget || stale_) return std::nullopt;
    // A paint the system asked for (a part uncovered) may find the drawing moved on elsewhere
    // too (the clock's texts): all of it is drawn, since the window is taken to show it after.
    const std::optional<RectF> moved = changedArea(shown_, view_.drawList(), client);
    if (!moved) return asked;
    if (*moved == client) return std::nullopt;
    return unite(asked, *moved);
}

void RepaintPolicy::painted() {
    shown_ = view_.drawList();
    stale_ = false;
}

RepaintTimers RepaintPolicy::timers(bool minimized) const {
    RepaintTimers t;
    // Restoring a minimized window repaints it whole: nothing needs to run meanwhile.
    if (minimized) return t;
    const PanelModel& m = view_.model();
    if (m.streaming || m.linkState == LinkState::Live) t.statsMs = kStatsMs;
    t.animationMs = view_.animationIntervalMs();
    // A stale window is drawn whole once seen: the clock's texts with it.
    if (stale_)
        t.sightMs = kSightCheckMs;
    else
        t.clockAtMs = view_.clockChangeAtMs();
    return t;
}

}  // namespace tov::panel
