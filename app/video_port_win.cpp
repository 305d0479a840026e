// The App's video port on Windows: the TovenmarVideo window with its decoder and renderer, and
// the glue that turns the window's mouse and key messages into the input translation's events.
#include <windowsx.h>

#include <atomic>
#include <utility>

#include "app/app_parts_win.h"
#include "input/mouse_input.h"
#include "input/picture_point.h"
#include "platform/text.h"
#include "video/video_window_win.h"

namespace tov {

namespace {

// The pointer operations of the mouse translation, on the video window.
class VideoMouseWindow final : public MouseWindow {
  public:
    void attach(HWND window) { window_ = window; }

    void focus() override { SetFocus(window_); }
    void setCapture() override { SetCapture(window_); }
    void releaseCapture() override {
        if (GetCapture() == window_) ReleaseCapture();
    }
    bool hasCapture() override { return GetCapture() == window_; }
    bool registerRawMouse() override { return registerRaw(0, window_); }
    void unregisterRawMouse() override { registerRaw(RIDEV_REMOVE, nullptr); }
    void clipCursor() override {
        RECT client;
        if (!GetClientRect(window_, &client)) return;
        POINT corners[2] = {{client.left, client.top}, {client.right, client.bottom}};
        MapWindowPoints(window_, nullptr, corners, 2);
        const RECT screen = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
        ClipCursor(&screen);
    }
    void unclipCursor() override { ClipCursor(nullptr); }
    void hideCursor() override { SetCursor(nullptr); }
    void showArrowCursor() override { SetCursor(LoadCursorW(nullptr, IDC_ARROW)); }

  private:
    static bool registerRaw(DWORD flags, HWND target) {
        RAWINPUTDEVICE device{};
        device.usUsagePage = 1;  // generic desktop
        device.usUsage = 2;      // mouse
        device.dwFlags = flags;
        device.hwndTarget = target;
        return RegisterRawInputDevices(&device, 1, sizeof(device)) != FALSE;
    }

    HWND window_ = nullptr;
};

KeyboardState currentKeyboard() {
    auto held = [](int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; };
    KeyboardState state;
    const std::pair<int, uint8_t> bits[] = {
        {VK_LCONTROL, 0x01}, {VK_RCONTROL, 0x02}, {VK_LSHIFT, 0x04}, {VK_RSHIFT, 0x08},
        {VK_LMENU, 0x10},    {VK_RMENU, 0x20},    {VK_LWIN, 0x40},   {VK_RWIN, 0x80},
    };
    for (const auto& [key, bit] : bits) {
        if (held(key)) state.modifiers |= bit;
    }
    state.capsLockOn = (GetKeyState(VK_CAPITAL) & 1) != 0;
    state.numLockOn = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    return state;
}

// The relative motion, buttons and wheel of one WM_INPUT; false for anything but a mouse.
bool readRawMouse(LPARAM lParam, RawMouse& out) {
    RAWINPUT input{};
    UINT size = sizeof(input);
    if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &input, &size,
                        sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1)) {
        return false;
    }
    if (input.header.dwType != RIM_TYPEMOUSE) return false;
    const RAWMOUSE& mouse = input.data.mouse;
    out.absolute = (mouse.usFlags & MOUSE_MOVE_ABSOLUTE) != 0;
    out.dx = mouse.lLastX;
    out.dy = mouse.lLastY;
    out.buttonFlags = mouse.usButtonFlags;
    out.buttonData = static_cast<int16_t>(mouse.usButtonData);
    return true;
}

class VideoPortWin final : public VideoPort {
  public:
    VideoPortWin(HINSTANCE instance, VideoEvents events)
        : instance_(instance),
          events_(std::move(events)),
          window_(windowCallbacks()),
          mouse_(mouseWindow_, mouseTargets()) {}

    bool create(std::string& errorText) override {
        std::wstring error;
        if (!window_.create(instance_, error)) {
            errorText = narrow(error);
            return false;
        }
        mouseWindow_.attach(window_.window());
        return true;
    }
    void destroy() override {
        mouse_.releaseCapture();
        window_.destroy();
    }
    void show(bool visible) override { window_.show(visible); }
    void setOnTop(bool onTop) override { window_.setOnTop(onTop); }
    bool hevcUsable() const override { return window_.hevcUsable(); }
    void onConfig(int width, int height, int fps, int codec, const uint8_t* csd,
                  size_t csdSize) override {
        window_.onConfig(width, height, fps, codec, csd, csdSize);
    }
    void onPacket(const uint8_t* data, size_t size, int64_t time, bool key) override {
        window_.onPacket(data, size, time, key);
    }
    void reset() override { window_.reset(); }
    VideoStats stats() const override {
        const VideoSnapshot s = window_.snapshot();
        VideoStats out;
        out.shownPerSecond = s.shownPerSecond;
        out.latencyMs = s.latencyMs;
        out.received = static_cast<int32_t>(s.received);
        out.dropped = static_cast<int32_t>(s.dropped);
        out.onGpu = s.onGpu;
        return out;
    }
    bool captured() const override { return mouse_.captured(); }
    void setCapturePossible(bool possible) override { mouse_.setMouseInput(possible); }
    void setPhoneScreen(int width, int height) override { window_.setExpectedSize(width, height); }
    void setDeviceMode(bool deviceMode) override { mouse_.setDeviceMode(deviceMode); }
    void releaseCapture() override { mouse_.releaseCapture(); }
    void toggleFullscreen() override { window_.toggleFullscreen(); }

  private:
    VideoWindowCallbacks windowCallbacks() {
        VideoWindowCallbacks cb;
        cb.keyFrameWanted = [this] {
            if (events_.keyframeWanted) events_.keyframeWanted();
        };
        cb.phoneToPc = [this](int64_t t, int64_t* out) {
            return events_.phoneToPc && events_.phoneToPc(t, out);
        };
        cb.closed = [this] {
            if (events_.closed) events_.closed();
        };
        cb.key = [this](bool down, unsigned virtualKey, int64_t lParam) {
            return events_.key && events_.key(down, virtualKey, lParam, currentKeyboard());
        };
        cb.focusLost = [this] {
            if (events_.focusLost) events_.focusLost();
        };
        cb.mouse = [this](uint32_t message, uint64_t wParam, int64_t lParam) {
            return onMouseMessage(message, static_cast<WPARAM>(wParam),
                                  static_cast<LPARAM>(lParam));
        };
        return cb;
    }

    MouseTargets mouseTargets() {
        MouseTargets t;
        t.touch = [this](TouchAction action, uint8_t pointer, float x, float y) {
            if (events_.touch) events_.touch(static_cast<int>(action), pointer, x, y);
        };
        t.scroll = [this](float x, float y, float horizontal, float vertical) {
            if (events_.scroll) events_.scroll(x, y, horizontal, vertical);
        };
        t.pressKey = [this](int32_t code) {
            // Right click is Back (4), middle click Home (3).
            if (events_.systemButton) events_.systemButton(code == 4 ? 1 : 0);
        };
        t.mouseMotion = [this](uint8_t buttons, int32_t dx, int32_t dy, int32_t wheel,
                               int32_t hWheel) {
            if (events_.deviceMouse) events_.deviceMouse(buttons, dx, dy, wheel, hWheel);
        };
        t.captureChanged = [this](bool captured) {
            if (events_.changed) events_.changed(captured);
        };
        t.releaseKeys = [this] {
            if (events_.focusLost) events_.focusLost();
        };
        return t;
    }

    PicturePoint pictureAt(POINT client) const {
        RECT rect{};
        GetClientRect(window_.window(), &rect);
        Size stream = window_.streamSize();
        if (stream.width <= 0 || stream.height <= 0) stream = window_.expectedSize();
        return picturePoint(static_cast<float>(client.x), static_cast<float>(client.y),
                            rect.right - rect.left, rect.bottom - rect.top, stream.width,
                            stream.height);
    }

    bool onMouseMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_MOVE:
            case WM_SIZE:
                mouse_.reclip();
                return false;
            case WM_KILLFOCUS:
                mouse_.releaseCapture();
                mouse_.endDrag();
                return false;
            case WM_SETCURSOR:
                if (mouse_.captured() && LOWORD(lParam) == HTCLIENT) {
                    SetCursor(nullptr);
                    return true;
                }
                return false;
            case WM_INPUT: {
                RawMouse raw;
                if (mouse_.captured() && readRawMouse(lParam, raw)) mouse_.onRawInput(raw);
                return true;
            }
            default:
                break;
        }
        if (!mouse_.mouseInput()) return false;

        MouseEvent event;
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
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
            case WM_MOUSEHWHEEL:
                event.kind =
                    message == WM_MOUSEWHEEL ? MouseEventKind::Wheel : MouseEventKind::HWheel;
                event.wheelDelta = GET_WHEEL_DELTA_WPARAM(wParam);
                ScreenToClient(window_.window(), &point);  // wheel points come in screen terms
                break;
            case WM_CAPTURECHANGED:
                event.kind = MouseEventKind::CaptureChanged;
                event.toOtherWindow = reinterpret_cast<HWND>(lParam) != window_.window();
                break;
            default:
                return false;
        }
        event.ctrl = (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0;
        if (message != WM_CAPTURECHANGED) event.point = pictureAt(point);
        return mouse_.onMouse(event);
    }

    HINSTANCE instance_;
    VideoEvents events_;
    VideoMouseWindow mouseWindow_;
    VideoWindow window_;
    MouseInput mouse_;
};

}  // namespace

std::unique_ptr<VideoPort> makeVideoPortWin(HINSTANCE instance, VideoEvents events) {
    return std::make_unique<VideoPortWin>(instance, std::move(events));
}

}  // namespace tov
