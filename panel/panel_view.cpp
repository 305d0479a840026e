#include "panel/panel_view.h"

#include <algorithm>
#include <ctime>

#include "panel/colors.h"
#include "panel/controls.h"
#include "panel/dropdown_list.h"
#include "panel/pages.h"
#include "panel/sidebar.h"
#include "panel/status_line.h"
#include "panel/status_texts.h"
#include "platform/text.h"

namespace tov::panel {

namespace {

constexpr float kWheelStep = 56;
constexpr uint32_t kPulseFrameMs = 80;
constexpr uint32_t kCaretBlinkMs = 500;

// The key ids of the eight modifier keys.
bool isModifierKey(uint16_t keyId) {
    switch (keyId) {
        case 0x1D:
        case 0x11D:
        case 0x2A:
        case 0x36:
        case 0x38:
        case 0x138:
        case 0x15B:
        case 0x15C:
            return true;
        default:
            return false;
    }
}

using PageBuilder = float (*)(PageContext&, const RectF&, float);
constexpr PageBuilder kBuilders[kPageCount] = {pageStream, pageQuality,   pageInput,
                                               pageWindow, pageShortcuts, pageSettings};

}  // namespace

PanelView::PanelView(TextMeasurer& measurer, PanelCallbacks callbacks)
    : measurer_(measurer), callbacks_(std::move(callbacks)) {}

bool PanelView::updateModel(PanelModel model) {
    if (model == model_) return false;
    model_ = std::move(model);
    return true;
}

void PanelView::build(float width, float height, uint64_t nowMs) {
    width_ = width;
    height_ = height;
    draw_.clear();
    hits_.clear();
    controls_.clear();

    RectF window{0, 0, width, height};
    RectF view{kSidebarWidth, 0, std::max(width, kSidebarWidth), height};
    const int64_t wall = wallClock ? wallClock() : static_cast<int64_t>(std::time(nullptr));
    PageContext ctx{model_,     state_, measurer_, draw_, hits_, controls_,
                    callbacks_, nowMs,  view,      wall,  0};
    // The status line takes the bottom of the page area; the page scrolls above it.
    const float pageBottom = std::max(height - statusLineHeight(ctx, width), 0.0f);
    view.bottom = pageBottom;
    ctx.view = view;

    // The offset is held to the previous paint's content in today's view.
    float maxScroll = std::max(0.0f, state_.contentHeight - pageBottom);
    state_.scroll = std::clamp(state_.scroll, 0.0f, maxScroll);

    draw_.fill(window, {colors::kContentBackground, 1.0f});
    pulse_ = drawSidebar(ctx, height);
    // The notice dims the window over the dot: it stays still then.
    if (!model_.whatsNewVersion.empty()) pulse_.reset();

    float columnWidth = std::max(std::min(width - kSidebarWidth - 88, 700.0f), 240.0f);
    float left = kSidebarWidth + std::max((width - kSidebarWidth - columnWidth) / 2, 44.0f);
    RectF column{left, 0, left + columnWidth, 0};
    draw_.pushClip(view);
    float bottom = kBuilders[static_cast<int>(state_.page)](ctx, column, 36 - state_.scroll);
    draw_.popClip();

    state_.contentHeight = bottom + state_.scroll + 16;
    float content = state_.contentHeight;
    if (content > pageBottom + 1) {
        float length = std::max(pageBottom * pageBottom / content, 40.0f);
        float pos = (pageBottom - 8 - length) * state_.scroll / (content - pageBottom) + 4;
        draw_.fill({width - 9, pos, width - 6, pos + length}, {colors::kControlBorder, 1.0f}, 1.5f);
    }
    drawStatusLine(ctx, {kSidebarWidth, pageBottom, std::max(width, kSidebarWidth), height});

    drawDropdownList(ctx, window);
    drawWhatsNew(ctx, window);
    clockChangeAtMs_ = ctx.clockChangeAtMs;

    // About 12 frames a second keep the pulse smooth; the caret only needs its own half second.
    if (statusPill(model_).pulsing)
        animationMs_ = kPulseFrameMs;
    else if (state_.edit.active())
        animationMs_ = kCaretBlinkMs;
    else
        animationMs_ = 0;
}

const HitRegion* PanelView::regionAt(float x, float y) const {
    if (state_.dropdown) {
        // Only the list's items answer while it is open.
        for (const auto& r : hits_)
            if (hit::isListItem(r.hit) && r.rect.contains(x, y)) return &r;
        return nullptr;
    }
    return hitTest(hits_, x, y);
}

const ControlSpec* PanelView::control(int hit) const {
    auto it = controls_.find(hit);
    return it == controls_.end() ? nullptr : &it->second;
}

bool PanelView::overPressable() const {
    if (state_.hovered == 0) return false;
    for (const auto& r : hits_)
        if (r.hit == state_.hovered) return r.enabled;
    return false;
}

bool PanelView::mouseMove(float x, float y) {
    bool repaint = false;
    if (state_.drag.hit != 0) {
        dragTo(x, false);
        repaint = true;
    }
    const HitRegion* r = regionAt(x, y);
    int hovered = r ? r->hit : 0;
    if (hovered != state_.hovered) {
        state_.hovered = hovered;
        repaint = true;
    }
    return repaint;
}

bool PanelView::mouseLeave() {
    if (state_.hovered == 0) return false;
    state_.hovered = 0;
    return true;
}

bool PanelView::mouseDown(float x, float y) {
    if (state_.dropdown) {
        const HitRegion* r = regionAt(x, y);
        if (!r) {
            state_.dropdown.reset();
            state_.pressed = 0;
            return false;
        }
        state_.pressed = r->hit;
        return true;
    }
    const HitRegion* r = hitTest(hits_, x, y);
    int h = r ? r->hit : 0;
    if (state_.edit.active() && h != state_.edit.hit) {
        commitEdit();
        endEdit();
    }
    if (state_.capture && !hit::isShortcutField(h)) state_.capture.reset();
    if (!r || !r->enabled) {
        state_.pressed = 0;
        return false;
    }
    state_.pressed = h;
    if (const ControlSpec* c = control(h); c && c->kind == ControlSpec::Kind::Slider) {
        state_.drag = SliderDrag{};
        state_.drag.hit = h;
        dragTo(x, false);
    }
    return true;
}

bool PanelView::mouseUp(float x, float y, uint64_t nowMs) {
    int pressed = state_.pressed;
    state_.pressed = 0;
    if (state_.drag.hit != 0) {
        dragTo(x, true);
        state_.drag = SliderDrag{};
        return true;
    }
    if (pressed == 0) return false;
    const HitRegion* r = regionAt(x, y);
    if (!r || r->hit != pressed) return true;  // released off the press: nothing happens
    click(pressed, nowMs);
    return true;
}

void PanelView::click(int h, uint64_t nowMs) {
    if (hit::isListItem(h)) {
        if (!state_.dropdown) return;
        OpenDropdown dd = std::move(*state_.dropdown);
        state_.dropdown.reset();
        state_.hovered = 0;
        int index = h - hit::kListItemFirst;
        if (dd.choose && index >= 0 && index < static_cast<int>(dd.items.size())) dd.choose(index);
        return;
    }
    const ControlSpec* c = control(h);
    if (!c) return;
    switch (c->kind) {
        case ControlSpec::Kind::Button:
            if (c->click) {
                auto fn = c->click;  // the action may rebuild what holds it
                fn();
            }
            break;
        case ControlSpec::Kind::Dropdown: {
            OpenDropdown dd;
            dd.owner = h;
            dd.items = c->items;
            dd.current = c->current;
            dd.anchor = c->anchor;
            dd.choose = c->choose;
            state_.dropdown = std::move(dd);
            state_.hovered = 0;
            break;
        }
        case ControlSpec::Kind::TextField:
            if (state_.edit.hit != h) startEdit(h, *c, nowMs);
            break;
        case ControlSpec::Kind::KeyField:
            state_.capture = c->shortcutIndex;
            break;
        case ControlSpec::Kind::Slider:
            break;
    }
}

void PanelView::startEdit(int h, const ControlSpec& entry, uint64_t nowMs) {
    state_.edit = FieldEdit{};
    state_.edit.hit = h;
    state_.edit.kind = entry.field;
    state_.edit.text = entry.value.substr(0, kFieldMaxChars);
    state_.edit.startMs = nowMs;
    editCommit_ = entry.commit;
}

bool PanelView::commitEdit() {
    if (!state_.edit.active()) return false;
    if (!editCommit_) return true;
    auto commit = editCommit_;
    return commit(narrow(state_.edit.text));
}

void PanelView::dragTo(float x, bool released) {
    const ControlSpec* c = control(state_.drag.hit);
    if (!c) return;
    float t = std::clamp((x - c->track.left) / std::max(c->track.width(), 1.0f), 0.0f, 1.0f);
    state_.drag.t = t;
    if (!c->report) return;
    float value = c->valueOf ? c->valueOf(t) : t;
    bool changed = !state_.drag.reported || value != state_.drag.lastReported;
    if ((released && (!c->reportWhileDragging || changed)) || (c->reportWhileDragging && changed)) {
        state_.drag.reported = true;
        state_.drag.lastReported = value;
        auto report = c->report;
        report(value);
    }
}

bool PanelView::wheel(int delta) {
    if (!model_.whatsNewVersion.empty()) return false;
    if (state_.dropdown) {
        // The page stays put; a list taller than the window scrolls its own items.
        OpenDropdown& dd = *state_.dropdown;
        if (dd.maxScroll <= 0) return false;
        dd.scroll = std::clamp(dd.scroll - static_cast<float>(delta) / 120.0f * kWheelStep, 0.0f,
                               dd.maxScroll);
        return true;
    }
    state_.scroll -= static_cast<float>(delta) / 120.0f * kWheelStep;
    return true;
}

void PanelView::resized() {
    state_.dropdown.reset();
}

void PanelView::captureLost(float x) {
    // Losing the mouse ends a press; a dragged slider keeps where it was let go.
    if (state_.drag.hit != 0) {
        dragTo(x, true);
        state_.drag = SliderDrag{};
    }
    state_.pressed = 0;
}

void PanelView::setFullScreen(bool on) {
    if (state_.fullScreen == on) return;
    state_.fullScreen = on;
    if (onFullScreen) onFullScreen(on);
}

bool PanelView::captureKey(unsigned virtualKey, uint16_t keyId, uint8_t modifiers) {
    int index = *state_.capture;
    if (virtualKey == vk::kEscape) {
        state_.capture.reset();
        return true;
    }
    if (virtualKey == vk::kBack) {
        state_.capture.reset();
        invoke(callbacks_.setShortcut, index, uint8_t{0}, uint16_t{0});
        return true;
    }
    if (keyId == 0) return true;
    if (index < 0) {
        // The Tovenmar key is a single key, usually a modifier itself (Right Alt by default).
        state_.capture.reset();
        invoke(callbacks_.setShortcut, index, uint8_t{0}, keyId);
        return true;
    }
    if (isModifierKey(keyId)) return true;  // wait for the key that goes with them
    state_.capture.reset();
    invoke(callbacks_.setShortcut, index, modifiers, keyId);
    return true;
}

KeyOutcome PanelView::keyDown(unsigned virtualKey, uint16_t keyId, uint8_t modifiers, bool system) {
    if (!model_.whatsNewVersion.empty() &&
        (virtualKey == vk::kEscape || virtualKey == vk::kReturn)) {
        invoke(callbacks_.whatsNewRead);
        return KeyOutcome::Handled;
    }
    if (state_.capture) {
        captureKey(virtualKey, keyId, modifiers);
        return KeyOutcome::Handled;
    }
    if (state_.edit.active()) return system ? KeyOutcome::Handled : KeyOutcome::PassOn;
    if (virtualKey == vk::kEscape) {
        if (state_.dropdown) {
            state_.dropdown.reset();
            return KeyOutcome::Handled;
        }
        if (state_.fullScreen) {
            setFullScreen(false);
            return KeyOutcome::Handled;
        }
        return KeyOutcome::PassOn;
    }
    if (virtualKey == vk::kF11) {
        setFullScreen(!state_.fullScreen);
        return KeyOutcome::Handled;
    }
    return KeyOutcome::PassOn;
}

bool PanelView::swallowsOtherKeyMessages() const {
    return state_.capture.has_value() || state_.edit.active();
}

bool PanelView::character(wchar_t c) {
    if (!state_.edit.active()) return false;
    switch (c) {
        case L'\b':
            state_.edit.backspace();
            return true;
        case L'\t':
        case L'\r':
            if (commitEdit())
                endEdit();
            else
                state_.edit.invalid = true;
            return true;
        case 0x1B:
            endEdit();
            return true;
        default:
            state_.edit.type(c);  // also clears an invalid mark
            return true;
    }
}

}  // namespace tov::panel
