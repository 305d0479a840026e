// The drawn controls of the pages. Each draws itself into the context's list, records its hit
// region and what pressing it does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "panel/page_context.h"

namespace tov::panel {

inline constexpr float kToggleWidth = 40;
inline constexpr float kSliderWidth = 260;
inline constexpr float kKeyFieldWidth = 130;
inline constexpr float kFieldHeight = 32;

// A rectangle of the given height centred vertically in r.
RectF centredIn(const RectF& r, float height);

void drawToggle(PageContext& ctx, const RectF& r, int hit, bool on, bool enabled,
                std::function<void(bool)> flipped);

struct Segment {
    std::wstring label;
    bool enabled = true;
};
// Total width the segments take.
float segmentedWidth(PageContext& ctx, const std::vector<Segment>& segments);
// Segment i is hit firstHit + i; choosing the selected one again does nothing.
void drawSegmented(PageContext& ctx, const RectF& r, int firstHit,
                   const std::vector<Segment>& segments, int selected, bool enabled,
                   std::function<void(int)> chosen);

void drawDropdown(PageContext& ctx, const RectF& r, int hit, const std::wstring& text, bool enabled,
                  std::vector<ListItem> items, int current, std::function<void(int)> chosen);

// The value shows while idle; while this field is edited the typed text and the caret show.
void drawTextField(PageContext& ctx, const RectF& r, int hit, const std::wstring& value,
                   FieldKind kind, bool enabled, std::function<bool(const std::string&)> commit);

struct SliderSpec {
    float t = 0;                                   // current position when not dragging
    std::function<std::wstring(float)> valueText;  // the value shown for a position
    bool reportWhileDragging = false;              // else only on release
    std::function<float(float)> valueOf;           // the reported value for a position
    std::function<void(float)> report;
};
void drawSlider(PageContext& ctx, const RectF& r, int hit, bool enabled, SliderSpec slider);

void drawButton(PageContext& ctx, const RectF& r, int hit, const std::wstring& label, bool enabled,
                std::function<void()> pressed);

void drawKeyField(PageContext& ctx, const RectF& r, int hit, const std::wstring& keyText,
                  int shortcutIndex);

}  // namespace tov::panel
