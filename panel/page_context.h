// Everything a page builder works with during one paint: the model snapshot, the interaction
// state, the measurer, the drawing and the controls it registers for the input rules.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/panel_model.h"
#include "panel/draw_list.h"
#include "panel/hit.h"
#include "panel/panel_callbacks.h"
#include "panel/panel_state.h"
#include "panel/text_measurer.h"

namespace tov::panel {

// What pressing a hit does, recorded while drawing it.
struct ControlSpec {
    enum class Kind { Button, Dropdown, TextField, Slider, KeyField };
    Kind kind = Kind::Button;
    std::function<void()> click;  // Button: toggles, segments, buttons, page buttons
    // Dropdown
    std::vector<ListItem> items;
    int current = -1;
    std::function<void(int)> choose;
    RectF anchor;
    // TextField
    FieldKind field = FieldKind::Whole;
    std::wstring value;
    std::function<bool(const std::string&)> commit;
    // Slider
    RectF track;
    bool reportWhileDragging = false;
    std::function<float(float)> valueOf;  // the reported value for a track position
    std::function<void(float)> report;
    // KeyField: -1 for the Tovenmar key
    int shortcutIndex = 0;
};

struct PageContext {
    const PanelModel& model;
    PanelState& state;
    TextMeasurer& measurer;
    DrawList& draw;
    std::vector<HitRegion>& hits;
    std::map<int, ControlSpec>& controls;
    const PanelCallbacks& callbacks;
    uint64_t nowMs = 0;
    RectF view;                    // where content can be pressed (right of the sidebar)
    int64_t wallSeconds = 0;       // the clock, for texts that read it (seconds since 1970)
    uint64_t clockChangeAtMs = 0;  // when such a text drawn now changes by itself (0: never)

    // A text drawn now changes by itself in `seconds` as the clock runs.
    void changesIn(int64_t seconds) {
        const uint64_t at = nowMs + static_cast<uint64_t>(seconds < 1 ? 1 : seconds) * 1000;
        if (clockChangeAtMs == 0 || at < clockChangeAtMs) clockChangeAtMs = at;
    }

    void addHit(const RectF& r, int hit, bool enabled) { hits.push_back({r, hit, enabled}); }
    // A content hit: only the part inside the view counts.
    void addContentHit(const RectF& r, int hit, bool enabled) {
        RectF c = intersect(r, view);
        if (c.width() > 0 && c.height() > 0) hits.push_back({c, hit, enabled});
    }
    float textWidth(const std::wstring& s, Font f) {
        return measurer.measure(s, f, 10000, false).width;
    }
    float textHeight(const std::wstring& s, Font f, float width, bool wrap = true) {
        return measurer.measure(s, f, width, wrap).height;
    }
};

}  // namespace tov::panel
