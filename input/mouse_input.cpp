#include "input/mouse_input.h"

#include <algorithm>

#include "input/key_tables.h"

namespace tov {
namespace {

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

// Buttons in report order: left, right, middle, fourth, fifth.
struct ButtonFlags {
    uint16_t down;
    uint16_t up;
};
constexpr ButtonFlags kButtons[5] = {
    {raw_button::kLeftDown, raw_button::kLeftUp},
    {raw_button::kRightDown, raw_button::kRightUp},
    {raw_button::kMiddleDown, raw_button::kMiddleUp},
    {raw_button::kButton4Down, raw_button::kButton4Up},
    {raw_button::kButton5Down, raw_button::kButton5Up},
};

// Whole 120-unit steps out of a remainder; the rest keeps the sign of what was added up.
int32_t takeWheelSteps(int32_t& remainder, int16_t amount) {
    remainder += amount;
    const int32_t steps = remainder / 120;
    remainder %= 120;
    return steps;
}

}  // namespace

MouseInput::MouseInput(MouseWindow& window, MouseTargets targets)
    : window_(window), targets_(std::move(targets)) {}

bool MouseInput::onMouse(const MouseEvent& event) {
    if (!mouseInput_) return false;
    return deviceMode_ ? onDeviceMouse(event) : onTouchMouse(event);
}

void MouseInput::liftFingers(float x, float y) {
    if (targets_.touch) {
        targets_.touch(TouchAction::Up, 0, x, y);
        if (pinching_) targets_.touch(TouchAction::Up, 1, 1 - x, 1 - y);
    }
    dragging_ = false;
    pinching_ = false;
}

bool MouseInput::onTouchMouse(const MouseEvent& e) {
    const float x = clamp01(e.point.x);
    const float y = clamp01(e.point.y);
    const bool press =
        e.kind == MouseEventKind::LeftDown || e.kind == MouseEventKind::LeftDoubleClick;
    if (dragging_ || press) {
        if (e.kind != MouseEventKind::CaptureChanged) {
            lastX_ = x;
            lastY_ = y;
        }
    }
    switch (e.kind) {
        case MouseEventKind::LeftDown:
        case MouseEventKind::LeftDoubleClick:
            if (!e.point.inside || dragging_) return dragging_;
            window_.focus();
            window_.setCapture();
            pinching_ = e.ctrl;
            dragging_ = true;
            if (targets_.touch) {
                targets_.touch(TouchAction::Down, 0, x, y);
                if (pinching_) targets_.touch(TouchAction::Down, 1, 1 - x, 1 - y);
            }
            return true;
        case MouseEventKind::Move:
            if (!dragging_) return false;
            if (targets_.touch) {
                targets_.touch(TouchAction::Move, 0, x, y);
                if (pinching_) targets_.touch(TouchAction::Move, 1, 1 - x, 1 - y);
            }
            return true;
        case MouseEventKind::LeftUp:
            if (!dragging_) return false;
            liftFingers(x, y);
            window_.releaseCapture();
            return true;
        case MouseEventKind::RightDown:
            if (targets_.pressKey) targets_.pressKey(android_key::kBack);
            return true;
        case MouseEventKind::MiddleDown:
            if (targets_.pressKey) targets_.pressKey(android_key::kHome);
            return true;
        case MouseEventKind::Wheel:
        case MouseEventKind::HWheel: {
            if (!e.point.inside) return false;
            const float amount = static_cast<float>(e.wheelDelta) / 120.0f;
            if (targets_.scroll) {
                if (e.kind == MouseEventKind::Wheel)
                    targets_.scroll(x, y, 0, amount);
                else
                    targets_.scroll(x, y, amount, 0);
            }
            return true;
        }
        case MouseEventKind::CaptureChanged:
            if (!e.toOtherWindow || !dragging_) return false;
            liftFingers(lastX_, lastY_);
            if (window_.hasCapture()) window_.releaseCapture();
            if (targets_.releaseKeys) targets_.releaseKeys();
            return true;
    }
    return false;
}

bool MouseInput::onDeviceMouse(const MouseEvent& e) {
    if (captured_) return true;  // raw input carries everything while captured
    if (e.kind != MouseEventKind::LeftDown || !e.point.inside) return false;
    if (!window_.registerRawMouse()) return false;
    window_.focus();
    window_.clipCursor();
    window_.hideCursor();
    heldButtons_ = 0;
    wheelRemainder_ = 0;
    hWheelRemainder_ = 0;
    captured_ = true;
    if (targets_.captureChanged) targets_.captureChanged(true);
    return true;
}

void MouseInput::onRawInput(const RawMouse& raw) {
    if (!captured_) return;
    const int32_t dx = raw.absolute ? 0 : raw.dx;
    const int32_t dy = raw.absolute ? 0 : raw.dy;
    const uint8_t before = heldButtons_;
    for (int bit = 0; bit < 5; ++bit) {
        if (raw.buttonFlags & kButtons[bit].down) heldButtons_ |= static_cast<uint8_t>(1u << bit);
        if (raw.buttonFlags & kButtons[bit].up) heldButtons_ &= static_cast<uint8_t>(~(1u << bit));
    }
    int32_t wheel = 0;
    int32_t hWheel = 0;
    if (raw.buttonFlags & raw_button::kWheel)
        wheel = takeWheelSteps(wheelRemainder_, raw.buttonData);
    if (raw.buttonFlags & raw_button::kHWheel)
        hWheel = takeWheelSteps(hWheelRemainder_, raw.buttonData);
    if (dx == 0 && dy == 0 && wheel == 0 && hWheel == 0 && heldButtons_ == before) return;
    if (targets_.mouseMotion) targets_.mouseMotion(heldButtons_, dx, dy, wheel, hWheel);
}

void MouseInput::releaseCapture() {
    if (!captured_) return;
    window_.unregisterRawMouse();
    window_.unclipCursor();
    if (heldButtons_ != 0 && targets_.mouseMotion) targets_.mouseMotion(0, 0, 0, 0, 0);
    heldButtons_ = 0;
    captured_ = false;
    window_.showArrowCursor();
    if (targets_.captureChanged) targets_.captureChanged(false);
}

void MouseInput::endDrag() {
    if (dragging_) {
        liftFingers(lastX_, lastY_);
        if (window_.hasCapture()) window_.releaseCapture();
    }
    if (targets_.releaseKeys) targets_.releaseKeys();
}

void MouseInput::reclip() {
    if (captured_) window_.clipCursor();
}

void MouseInput::modeChanging() {
    releaseCapture();
    endDrag();
}

void MouseInput::setDeviceMode(bool on) {
    if (on == deviceMode_) return;
    modeChanging();
    deviceMode_ = on;
}

void MouseInput::setMouseInput(bool on) {
    if (on == mouseInput_) return;
    modeChanging();
    mouseInput_ = on;
}

}  // namespace tov
