#include "panel/controls.h"

#include <algorithm>
#include <memory>

#include "panel/colors.h"
#include "platform/text.h"

namespace tov::panel {

namespace {

constexpr wchar_t kChevronDown[] = L"\uE70D";

Color rgb(uint32_t c, float alpha = 1.0f) {
    return {c, alpha};
}

bool hovered(const PageContext& ctx, int hit, bool enabled) {
    return enabled && ctx.state.hovered == hit;
}

uint32_t textColour(bool enabled) {
    return enabled ? colors::kPrimaryText : colors::kDisabledText;
}

void boxFill(PageContext& ctx, const RectF& r, int hit, bool enabled, float radius) {
    ctx.draw.fill(r,
                  rgb(hovered(ctx, hit, enabled) ? colors::kControlOffHover : colors::kControlOff),
                  radius);
    ctx.draw.stroke(r.inflated(-0.5f, -0.5f), rgb(colors::kControlBorder), radius);
}

}  // namespace

RectF centredIn(const RectF& r, float height) {
    float top = r.top + (r.height() - height) / 2;
    return {r.left, top, r.right, top + height};
}

void drawToggle(PageContext& ctx, const RectF& r, int hit, bool on, bool enabled,
                std::function<void(bool)> flipped) {
    RectF pill = centredIn({r.right - kToggleWidth, r.top, r.right, r.bottom}, 22);
    bool hover = hovered(ctx, hit, enabled);
    float cy = pill.top + 11;
    if (on) {
        uint32_t fill = !enabled ? colors::kAccentDisabled
                        : hover  ? colors::kAccentHover
                                 : colors::kAccent;
        ctx.draw.fill(pill, rgb(fill), 11);
        ctx.draw.circle(pill.right - 11, cy, 8,
                        rgb(enabled ? colors::kWhite : colors::kDisabledOnKnob));
    } else {
        ctx.draw.fill(pill, rgb(hover ? colors::kControlOffHover : colors::kControlOff), 11);
        ctx.draw.stroke(pill.inflated(-0.5f, -0.5f), rgb(colors::kControlBorder), 10.5f);
        ctx.draw.circle(pill.left + 11, cy, 7,
                        rgb(enabled ? colors::kSecondaryText : colors::kDisabledText));
    }
    ctx.addContentHit(pill, hit, enabled);
    ControlSpec entry;
    entry.click = [flipped = std::move(flipped), on] {
        if (flipped) flipped(!on);
    };
    ctx.controls[hit] = std::move(entry);
}

float segmentedWidth(PageContext& ctx, const std::vector<Segment>& segments) {
    float w = 4;
    for (const auto& s : segments) w += ctx.textWidth(s.label, Font::Text13) + 28;
    return w;
}

void drawSegmented(PageContext& ctx, const RectF& r, int firstHit,
                   const std::vector<Segment>& segments, int selected, bool enabled,
                   std::function<void(int)> chosen) {
    float total = segmentedWidth(ctx, segments);
    RectF box = centredIn({r.right - total, r.top, r.right, r.bottom}, kFieldHeight);
    ctx.draw.fill(box, rgb(colors::kControlOff), 8);
    ctx.draw.stroke(box.inflated(-0.5f, -0.5f), rgb(colors::kControlBorder), 8);
    float x = box.left + 2;
    auto shared = std::make_shared<std::function<void(int)>>(std::move(chosen));
    for (size_t i = 0; i < segments.size(); ++i) {
        int hit = firstHit + static_cast<int>(i);
        bool on = static_cast<int>(i) == selected;
        bool segEnabled = enabled && segments[i].enabled;
        float w = ctx.textWidth(segments[i].label, Font::Text13) + 28;
        RectF seg{x, box.top + 2, x + w, box.bottom - 2};
        if (on)
            ctx.draw.fill(seg, rgb(enabled ? colors::kAccent : colors::kAccentDisabled), 6);
        else if (hovered(ctx, hit, segEnabled))
            ctx.draw.fill(seg, rgb(colors::kControlOffHover), 6);
        uint32_t colour = on ? (enabled ? colors::kWhite : colors::kSecondaryText)
                             : (segEnabled ? colors::kSecondaryText : colors::kDisabledText);
        ctx.draw.text(segments[i].label, seg, Font::Text13, rgb(colour), false, Align::Centre,
                      true);
        ctx.addContentHit(seg, hit, segEnabled);
        ControlSpec entry;
        if (!on)
            entry.click = [shared, i] {
                if (*shared) (*shared)(static_cast<int>(i));
            };
        ctx.controls[hit] = std::move(entry);
        x += w;
    }
}

void drawDropdown(PageContext& ctx, const RectF& r, int hit, const std::wstring& text, bool enabled,
                  std::vector<ListItem> items, int current, std::function<void(int)> chosen) {
    RectF box = centredIn(r, 34);
    boxFill(ctx, box, hit, enabled, 6);
    ctx.draw.text(text, {box.left + 12, box.top, box.right - 30, box.bottom}, Font::Text13,
                  rgb(textColour(enabled)), false, Align::Leading, true);
    ctx.draw.text(kChevronDown, {box.right - 28, box.top, box.right - 10, box.bottom}, Font::Icon10,
                  rgb(enabled ? colors::kSecondaryText : colors::kDisabledText), false,
                  Align::Centre, true);
    ctx.addContentHit(box, hit, enabled);
    ControlSpec entry;
    entry.kind = ControlSpec::Kind::Dropdown;
    entry.items = std::move(items);
    entry.current = current;
    entry.choose = std::move(chosen);
    entry.anchor = box;
    ctx.controls[hit] = std::move(entry);
}

void drawTextField(PageContext& ctx, const RectF& r, int hit, const std::wstring& value,
                   FieldKind kind, bool enabled, std::function<bool(const std::string&)> commit) {
    RectF box = centredIn(r, kFieldHeight);
    const FieldEdit& edit = ctx.state.edit;
    bool editing = edit.hit == hit;
    RectF textBox{box.left + 10, box.top, box.right - 10, box.bottom};
    if (editing) {
        ctx.draw.fill(box, rgb(colors::kCardFill), 6);
        ctx.draw.stroke(box.inflated(-0.75f, -0.75f),
                        rgb(edit.invalid ? colors::kInvalid : colors::kAccent), 6, 1.5f);
        std::wstring shown = edit.text;
        if (caretVisible(edit.startMs, ctx.nowMs)) shown += L"|";
        ctx.draw.text(shown, textBox, Font::Text13, rgb(colors::kPrimaryText), false,
                      Align::Leading, true);
    } else {
        boxFill(ctx, box, hit, enabled, 6);
        uint32_t colour = !enabled        ? colors::kDisabledText
                          : value.empty() ? colors::kHelpText
                                          : colors::kPrimaryText;
        ctx.draw.text(value.empty() ? L"\u2014" : value, textBox, Font::Text13, rgb(colour), false,
                      Align::Leading, true);
    }
    ctx.addContentHit(box, hit, enabled);
    ControlSpec entry;
    entry.kind = ControlSpec::Kind::TextField;
    entry.field = kind;
    entry.value = value;
    entry.commit = std::move(commit);
    ctx.controls[hit] = std::move(entry);
}

void drawSlider(PageContext& ctx, const RectF& r, int hit, bool enabled, SliderSpec slider) {
    float t = ctx.state.drag.hit == hit ? ctx.state.drag.t : slider.t;
    RectF area = centredIn({r.right - kSliderWidth, r.top, r.right, r.bottom}, kFieldHeight);
    RectF track{area.left + 8, area.top, area.right - 72, area.bottom};
    float cy = area.top + kFieldHeight / 2;
    ctx.draw.fill({track.left, cy - 2, track.right, cy + 2}, rgb(colors::kControlOff), 2);
    float knobX = track.left + (track.right - track.left) * t;
    ctx.draw.fill({track.left, cy - 2, knobX, cy + 2},
                  rgb(enabled ? colors::kAccent : colors::kAccentDisabled), 2);
    bool hover = hovered(ctx, hit, enabled) || ctx.state.drag.hit == hit;
    ctx.draw.circle(knobX, cy, hover ? 9.0f : 8.0f,
                    rgb(enabled ? colors::kWhite : colors::kDisabledOnKnob));
    std::wstring value = slider.valueText ? slider.valueText(t) : L"";
    ctx.draw.text(value, {track.right + 12, area.top, area.right, area.bottom}, Font::Text13,
                  rgb(enabled ? colors::kPrimaryText : colors::kDisabledText), false,
                  Align::Trailing, true);
    // The knob overhangs the ends of the track; so does the region that catches it.
    ctx.addContentHit({track.left - 8, area.top, track.right + 8, area.bottom}, hit, enabled);
    ControlSpec c;
    c.kind = ControlSpec::Kind::Slider;
    c.track = track;
    c.reportWhileDragging = slider.reportWhileDragging;
    c.valueOf = std::move(slider.valueOf);
    c.report = std::move(slider.report);
    ctx.controls[hit] = std::move(c);
}

void drawButton(PageContext& ctx, const RectF& r, int hit, const std::wstring& label, bool enabled,
                std::function<void()> pressed) {
    RectF box = centredIn(r, kFieldHeight);
    boxFill(ctx, box, hit, enabled, 6);
    ctx.draw.text(label, box, Font::Text13, rgb(textColour(enabled)), false, Align::Centre, true);
    ctx.addContentHit(box, hit, enabled);
    ControlSpec entry;
    entry.click = std::move(pressed);
    ctx.controls[hit] = std::move(entry);
}

void drawKeyField(PageContext& ctx, const RectF& r, int hit, const std::wstring& keyText,
                  int shortcutIndex) {
    RectF box = centredIn({r.right - kKeyFieldWidth, r.top, r.right, r.bottom}, kFieldHeight);
    bool capturing = ctx.state.capture && *ctx.state.capture == shortcutIndex;
    if (capturing) {
        ctx.draw.fill(box, rgb(colors::kCardFill), 6);
        ctx.draw.stroke(box.inflated(-0.75f, -0.75f), rgb(colors::kAccent), 6, 1.5f);
    } else {
        boxFill(ctx, box, hit, true, 6);
    }
    std::wstring shown = capturing ? L"Press keys\u2026" : keyText.empty() ? L"Not set" : keyText;
    uint32_t colour = capturing         ? colors::kSecondaryText
                      : keyText.empty() ? colors::kHelpText
                                        : colors::kPrimaryText;
    ctx.draw.text(shown, box.inflated(-6, 0), Font::Text13, rgb(colour), false, Align::Centre,
                  true);
    ctx.addContentHit(box, hit, true);
    ControlSpec entry;
    entry.kind = ControlSpec::Kind::KeyField;
    entry.shortcutIndex = shortcutIndex;
    ctx.controls[hit] = std::move(entry);
}

}  // namespace tov::panel
