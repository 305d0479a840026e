// When the panel is drawn and how much of it: the window's message handlers tell it what
// happened (a new model, a timer, the user, a paint) and do what it answers. It keeps what the
// window shows, so that a change repaints only its own part; nothing is drawn while the window
// cannot be seen, and what changed meanwhile is drawn as soon as it can, whether the window is
// activated, uncovered or restored.
#pragma once

#include <cstdint>
#include <optional>

#include "panel/draw_list.h"
#include "panel/panel_view.h"

namespace tov::panel {

// What the window can tell of itself when asked.
struct Sight {
    bool minimized = false;
    bool occluded = false;  // covered, as the render target reports it
    bool hidden() const { return minimized || occluded; }
};

// What the window does next.
struct Repaint {
    enum class Kind {
        Nothing,
        Area,   // invalidate `area` (DIPs); the paint draws the drawing built just now
        Whole,  // invalidate the window; the paint builds afresh
        Pulse,  // only the live dot moves: draw its next step straight onto the window
    };
    Kind kind = Kind::Nothing;
    RectF area;
};

// The timers the window keeps; 0 for a timer that does not run.
struct RepaintTimers {
    uint32_t statsMs = 0;      // pull the model for the statistics
    uint32_t animationMs = 0;  // the live dot's pulse, a text field's caret
    uint32_t sightMs = 0;      // look whether a window with news it could not show is seen again
    uint64_t clockAtMs = 0;    // the tick at which a text that reads the clock changes
};

class RepaintPolicy {
  public:
    // How often a window that could not show a change looks whether it can be seen again.
    static constexpr uint32_t kSightCheckMs = 500;
    static constexpr uint32_t kStatsMs = 1000;

    explicit RepaintPolicy(PanelView& view) : view_(view) {}

    // The view took the App's model (`changed`: it differs from the one it held), or the clock
    // reached a time at which a text changes (`changed` set too).
    Repaint changed(bool changed, const Sight& sight, const RectF& client, uint64_t nowMs);
    // The animation timer ticked.
    Repaint animationTick(const Sight& sight, const RectF& client, uint64_t nowMs);
    // The window was activated, or the sight timer ticked: what it could not show is drawn once
    // it can be seen.
    Repaint sightCheck(const Sight& sight);
    // The user did something, or the window's size or scale changed: the next paint builds afresh
    // and draws everything.
    Repaint redrawWhole();

    // A paint begins: builds the drawing unless a change built it just now. Returns the area to
    // draw (DIPs), nothing for the whole window: a new target holds nothing, and whatever the
    // build differs in from what the window shows is drawn with the asked-for area.
    std::optional<RectF> paintArea(bool freshTarget, const RectF& asked, const RectF& client,
                                   uint64_t nowMs);
    // The paint is done: the window shows the view's drawing.
    void painted();

    RepaintTimers timers(bool minimized) const;
    // The window shows something older than the view's model.
    bool stale() const { return stale_; }

  private:
    PanelView& view_;
    bool prebuilt_ = false;  // the view's drawing was built for the coming paint
    bool stale_ = false;     // the model moved on while nothing could be drawn
    DrawList shown_;         // what the window shows: the next change is compared with it
};

}  // namespace tov::panel
