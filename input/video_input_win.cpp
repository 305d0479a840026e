#include "input/video_input_win.h"

#include <windowsx.h>

#include <vector>

namespace tov {

void Win32MouseWindow::focus() {
    SetFocus(window_());
}

void Win32MouseWindow::setCapture() {
    SetCapture(window_());
}

void Win32MouseWindow::releaseCapture() {
    ReleaseCapture();
}

bool Win32MouseWindow::hasCapture() {
    return GetCapture() == window_() && window_() != nullptr;
}

bool Win32MouseWindow::registerRawMouse() {
    RAWINPUTDEVICE device{};
    device.usUsagePage = 1;
    device.usUsage = 2;
    device.dwFlags = 0;
    device.hwndTarget = window_();
    return RegisterRawInputDevices(&device, 1, sizeof(device)) != FALSE;
}

void Win32MouseWindow::unregisterRawMouse() {
    RAWINPUTDEVICE device{};
    device.usUsagePage = 1;
    device.usUsage = 2;
    device.dwFlags = RIDEV_REMOVE;
    device.hwndTarget = nullptr;
    RegisterRawInputDevices(&device, 1, sizeof(device));
}

void Win32MouseWindow::clipCursor() {
    const HWND window = window_();
    RECT client{};
    if (!window || !GetClientRect(window, &client)) return;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ClipCursor(&client);
}

void Win32MouseWindow::unclipCursor() {
    ClipCursor(nullptr);
}

void Win32MouseWindow::hideCursor() {
    SetCursor(nullptr);
}

void Win32MouseWindow::showArrowCursor() {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

bool mouseEventFromMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                           PictureSize picture, MouseEvent& event) {
    switch (message) {
        case WM_MOUSEMOVE:
            event.kind = MouseEventKind::Move;
            break;
        case WM_LBUTTONDOWN:
            event.kind = MouseEventKind::LeftDown;
            break;
        case WM_LBUTTONDBLCLK:
            event.kind = MouseEventKind::LeftDoubleClick;
            break;
        case WM_LBUTTONUP:
            event.kind = MouseEventKind::LeftUp;
            break;
        case WM_RBUTTONDOWN:
            event.kind = MouseEventKind::RightDown;
            break;
        case WM_MBUTTONDOWN:
            event.kind = MouseEventKind::MiddleDown;
            break;
        case WM_MOUSEWHEEL:
            event.kind = MouseEventKind::Wheel;
            break;
        case WM_MOUSEHWHEEL:
            event.kind = MouseEventKind::HWheel;
            break;
        case WM_CAPTURECHANGED:
            event.kind = MouseEventKind::CaptureChanged;
            event.toOtherWindow = reinterpret_cast<HWND>(lParam) != window;
            return true;
        default:
            return false;
    }
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL) {
        ScreenToClient(window, &point);  // wheel messages carry screen coordinates
        event.wheelDelta = GET_WHEEL_DELTA_WPARAM(wParam);
    }
    RECT client{};
    GetClientRect(window, &client);
    event.point = picturePoint(static_cast<float>(point.x), static_cast<float>(point.y),
                               client.right - client.left, client.bottom - client.top,
                               picture.width, picture.height);
    event.ctrl = (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0;
    return true;
}

RawMouse rawMouseFromRecord(const RAWMOUSE& record) {
    RawMouse raw;
    raw.absolute = (record.usFlags & MOUSE_MOVE_ABSOLUTE) != 0;
    raw.dx = record.lLastX;
    raw.dy = record.lLastY;
    raw.buttonFlags = record.usButtonFlags;
    raw.buttonData = static_cast<int16_t>(record.usButtonData);
    return raw;
}

bool readRawMouse(LPARAM lParam, RawMouse& raw) {
    const auto handle = reinterpret_cast<HRAWINPUT>(lParam);
    UINT size = 0;
    if (GetRawInputData(handle, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0 ||
        size < sizeof(RAWINPUTHEADER))
        return false;
    std::vector<BYTE> buffer(size);
    if (GetRawInputData(handle, RID_INPUT, buffer.data(), &size, sizeof(RAWINPUTHEADER)) !=
        buffer.size())
        return false;
    const auto* input = reinterpret_cast<const RAWINPUT*>(buffer.data());
    if (input->header.dwType != RIM_TYPEMOUSE || size < offsetof(RAWINPUT, data) + sizeof(RAWMOUSE))
        return false;
    raw = rawMouseFromRecord(input->data.mouse);
    return true;
}

KeyboardState currentKeyboardState() {
    static constexpr int kModifierKeys[8] = {VK_LCONTROL, VK_RCONTROL, VK_LSHIFT, VK_RSHIFT,
                                             VK_LMENU,    VK_RMENU,    VK_LWIN,   VK_RWIN};
    KeyboardState state;
    for (int bit = 0; bit < 8; ++bit) {
        if (GetKeyState(kModifierKeys[bit]) & 0x8000)
            state.modifiers |= static_cast<uint8_t>(1u << bit);
    }
    state.capsLockOn = (GetKeyState(VK_CAPITAL) & 1) != 0;
    state.numLockOn = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    return state;
}

VideoWindowInput::VideoWindowInput(std::function<HWND()> window,
                                   std::function<PictureSize()> picture, MouseTargets mouseTargets,
                                   KeyTargets keyTargets)
    : windowOf_(window),
      picture_(std::move(picture)),
      window_(window),
      mouse_(window_, std::move(mouseTargets)),
      keys_(std::move(keyTargets)) {}

bool VideoWindowInput::onWindowMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    const HWND window = windowOf_();
    switch (message) {
        case WM_INPUT: {
            RawMouse raw;
            if (mouse_.captured() && readRawMouse(static_cast<LPARAM>(lParam), raw))
                mouse_.onRawInput(raw);
            return false;  // the default procedure frees the input
        }
        case WM_SETCURSOR:
            if (!mouse_.captured() || LOWORD(lParam) != HTCLIENT) return false;
            SetCursor(nullptr);
            return true;
        case WM_MOVE:
        case WM_SIZE:
            mouse_.reclip();
            return false;
        case WM_KILLFOCUS:
            mouse_.releaseCapture();
            mouse_.endDrag();
            return false;
        default:
            break;
    }
    MouseEvent event;
    if (!window || !mouseEventFromMessage(window, message, static_cast<WPARAM>(wParam),
                                          static_cast<LPARAM>(lParam),
                                          picture_ ? picture_() : PictureSize{}, event))
        return false;
    return mouse_.onMouse(event);
}

bool VideoWindowInput::onKey(bool down, unsigned virtualKey, int64_t lParam) {
    return keys_.onKey(down, virtualKey, lParam, currentKeyboardState());
}

}  // namespace tov
