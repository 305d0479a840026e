// The video window's mouse as phone input. Touch mode: the left button is a finger (with Ctrl a
// second one mirrored through the centre, for pinching), right click Back, middle click Home,
// the wheel scrolls. Device mode: a click captures the mouse, and raw relative motion, buttons
// and wheel steps become mouse reports. UI thread only, except `captured`.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "input/input_messages.h"
#include "input/picture_point.h"

namespace tov {

// What the translation does to the window and the pointer; the Win32 side implements it.
class MouseWindow {
  public:
    virtual ~MouseWindow() = default;
    virtual void focus() = 0;
    virtual void setCapture() = 0;
    virtual void releaseCapture() = 0;
    virtual bool hasCapture() = 0;
    // Raw mouse input for this window; false when Windows refused.
    virtual bool registerRawMouse() = 0;
    virtual void unregisterRawMouse() = 0;
    // Keeps the cursor inside the client area (again after a move or resize).
    virtual void clipCursor() = 0;
    virtual void unclipCursor() = 0;
    virtual void hideCursor() = 0;
    virtual void showArrowCursor() = 0;
};

struct MouseTargets {
    // Points in picture fractions; the owner maps them onto the phone's screen.
    std::function<void(TouchAction action, uint8_t pointer, float x, float y)> touch;
    std::function<void(float x, float y, float horizontal, float vertical)> scroll;
    std::function<void(int32_t androidKeyCode)> pressKey;
    std::function<void(uint8_t buttons, int32_t dx, int32_t dy, int32_t wheel, int32_t hWheel)>
        mouseMotion;
    std::function<void(bool captured)> captureChanged;
    std::function<void()> releaseKeys;
};

enum class MouseEventKind {
    Move,
    LeftDown,
    LeftDoubleClick,
    LeftUp,
    RightDown,
    MiddleDown,
    Wheel,
    HWheel,
    CaptureChanged,
};

struct MouseEvent {
    MouseEventKind kind = MouseEventKind::Move;
    PicturePoint point;
    bool ctrl = false;           // MK_CONTROL
    int32_t wheelDelta = 0;      // Wheel, HWheel
    bool toOtherWindow = false;  // CaptureChanged
};

// Raw mouse button flags (the RI_MOUSE_* values).
namespace raw_button {
constexpr uint16_t kLeftDown = 0x0001, kLeftUp = 0x0002, kRightDown = 0x0004, kRightUp = 0x0008;
constexpr uint16_t kMiddleDown = 0x0010, kMiddleUp = 0x0020, kButton4Down = 0x0040;
constexpr uint16_t kButton4Up = 0x0080, kButton5Down = 0x0100, kButton5Up = 0x0200;
constexpr uint16_t kWheel = 0x0400, kHWheel = 0x0800;
}  // namespace raw_button

struct RawMouse {
    bool absolute = false;  // MOUSE_MOVE_ABSOLUTE: counts as no motion
    int32_t dx = 0;
    int32_t dy = 0;
    uint16_t buttonFlags = 0;
    int16_t buttonData = 0;  // the wheel's signed amount
};

class MouseInput {
  public:
    MouseInput(MouseWindow& window, MouseTargets targets);

    // A mouse message while mouse input is on; true when it was used (or, while captured,
    // swallowed).
    bool onMouse(const MouseEvent& event);
    // Raw mouse data while captured.
    void onRawInput(const RawMouse& raw);
    void releaseCapture();
    void endDrag();
    // After a move or resize of the window.
    void reclip();

    void setDeviceMode(bool on);
    void setMouseInput(bool on);
    bool deviceMode() const { return deviceMode_; }
    bool mouseInput() const { return mouseInput_; }
    bool captured() const { return captured_; }
    uint8_t heldButtons() const { return heldButtons_; }

  private:
    bool onTouchMouse(const MouseEvent& event);
    bool onDeviceMouse(const MouseEvent& event);
    void liftFingers(float x, float y);
    void modeChanging();

    MouseWindow& window_;
    MouseTargets targets_;
    bool deviceMode_ = false;
    bool mouseInput_ = false;
    std::atomic<bool> captured_{false};
    uint8_t heldButtons_ = 0;
    int32_t wheelRemainder_ = 0;
    int32_t hWheelRemainder_ = 0;
    bool dragging_ = false;
    bool pinching_ = false;
    float lastX_ = 0;
    float lastY_ = 0;
};

}  // namespace tov
