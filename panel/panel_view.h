// The panel without its window: builds each paint from the latest model snapshot and applies
// every interaction rule (clicks, toggles, choices, dropdowns, text fields, sliders, shortcut
// capture, scrolling, pages, the What's new notice, full screen). Positions are in DIPs.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "core/panel_model.h"
#include "panel/draw_list.h"
#include "panel/hit.h"
#include "panel/page_context.h"
#include "panel/panel_callbacks.h"
#include "panel/panel_state.h"
#include "panel/sidebar.h"
#include "panel/text_measurer.h"

namespace tov::panel {

// Virtual-key codes the rules look at (the values Windows gives them).
namespace vk {
inline constexpr unsigned kBack = 0x08;
inline constexpr unsigned kTab = 0x09;
inline constexpr unsigned kReturn = 0x0D;
inline constexpr unsigned kEscape = 0x1B;
inline constexpr unsigned kF11 = 0x7A;
}  // namespace vk

enum class KeyOutcome { Handled, PassOn };

class PanelView {
  public:
    PanelView(TextMeasurer& measurer, PanelCallbacks callbacks);

    void setModel(PanelModel model) { model_ = std::move(model); }
    // Takes the model when it differs from the one held; false when nothing changed.
    bool updateModel(PanelModel model);
    const PanelModel& model() const { return model_; }

    // Rebuilds the drawing and the hit regions for a window of this size (DIPs).
    void build(float width, float height, uint64_t nowMs);
    const DrawList& drawList() const { return draw_; }
    // How soon the drawing changes by itself (the live pill's pulse, a text field's caret), in
    // ms; 0 when it stays as it is until something happens.
    uint32_t animationIntervalMs() const { return animationMs_; }
    // The live pill's dot while it pulses (the only thing that moves then, unless a caret
    // blinks): the window animates it without a paint of the whole drawing.
    const std::optional<PulseDot>& pulseDot() const { return pulse_; }
    // The tick (ms) at which a text of the drawing that reads the clock changes ("Checked today
    // at …" once the day is over); 0 when none does.
    uint64_t clockChangeAtMs() const { return clockChangeAtMs_; }
    // The clock those texts read, in seconds since 1970.
    std::function<int64_t()> wallClock;
    const std::vector<HitRegion>& regions() const { return hits_; }

    // Mouse. Each returns true when the panel should be repainted.
    bool mouseMove(float x, float y);
    bool mouseLeave();
    // True when the press was taken: the window captures the mouse until mouseUp.
    bool mouseDown(float x, float y);
    bool mouseUp(float x, float y, uint64_t nowMs);
    bool wheel(int delta);
    // Over something that can be pressed (the hand cursor).
    bool overPressable() const;

    // Keyboard. `keyId` is the scan code plus 0x100 for extended keys, `modifiers` the held
    // modifier mask; `system` marks WM_SYSKEYDOWN.
    KeyOutcome keyDown(unsigned virtualKey, uint16_t keyId, uint8_t modifiers, bool system);
    // Key-up and system-character messages: true when they are to be swallowed.
    bool swallowsOtherKeyMessages() const;
    // WM_CHAR: true when the text field changed (repaint).
    bool character(wchar_t c);

    // The window changed size: an open dropdown closes.
    void resized();
    // The mouse capture went elsewhere mid-press (x: the last known position).
    void captureLost(float x);

    // Full screen is entered or left; the window layer does the moving.
    std::function<void(bool enter)> onFullScreen;

    PanelState& state() { return state_; }
    const PanelState& state() const { return state_; }

  private:
    const HitRegion* regionAt(float x, float y) const;
    const ControlSpec* control(int hit) const;
    void click(int hit, uint64_t nowMs);
    void startEdit(int hit, const ControlSpec& entry, uint64_t nowMs);
    // Reports the typed text; false when the App refused it.
    bool commitEdit();
    void endEdit() {
        state_.edit = FieldEdit{};
        editCommit_ = nullptr;
    }
    void dragTo(float x, bool released);
    bool captureKey(unsigned virtualKey, uint16_t keyId, uint8_t modifiers);
    void setFullScreen(bool on);

    TextMeasurer& measurer_;
    PanelCallbacks callbacks_;
    PanelModel model_;
    PanelState state_;
    DrawList draw_;
    std::vector<HitRegion> hits_;
    std::map<int, ControlSpec> controls_;
    std::function<bool(const std::string&)> editCommit_;
    float width_ = 0;
    float height_ = 0;
    uint32_t animationMs_ = 0;
    uint64_t clockChangeAtMs_ = 0;
    std::optional<PulseDot> pulse_;
};

}  // namespace tov::panel
