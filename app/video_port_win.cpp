// The App's video port on Windows: the TovenmarVideo window with its decoder and renderer, and
// the glue that turns the window's mouse and key messages into the input translation's events.
#include <mutex>
#include <utility>
#include <vector>

#include "app/app_parts_win.h"
#include "input/video_input_win.h"
#include "panel/panel_win.h"
#include "platform/text.h"
#include "video/video_window_win.h"

namespace tov {

namespace {

// The panel of this process on screen; null while it is minimized or not there.
HWND shownPanel() {
    const DWORD self = GetCurrentProcessId();
    HWND w = nullptr;
    while ((w = FindWindowExW(nullptr, w, kPanelClassName, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == self && IsWindowVisible(w) && !IsIconic(w)) return w;
    }
    return nullptr;
}

// The video windows of this process, all on the user-interface thread: the one that takes its
// shape lays out the others on its monitor too.
std::mutex gWindowsMutex;
std::vector<VideoWindow*> gWindows;

std::vector<VideoWindow*> otherShownWindows(const VideoWindow& self) {
    const HMONITOR monitor = MonitorFromWindow(self.window(), MONITOR_DEFAULTTONEAREST);
    std::vector<VideoWindow*> others;
    std::lock_guard lock(gWindowsMutex);
    for (VideoWindow* w : gWindows) {
        const HWND h = w->window();
        // A window that never took a shape has not been placed yet; its own turn comes.
        if (w == &self || !h || !IsWindowVisible(h) || IsIconic(h) || w->isFullscreen() ||
            w->shape().width <= 0 || MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST) != monitor) {
            continue;
        }
        others.push_back(w);
    }
    return others;
}

// The video window beside the panel and the other phones' windows: the panel moves aside and the
// others move and shrink when the layout says so.
Rect arrangeBesidePanel(LayoutRequest request, const VideoWindow& self) {
    const std::vector<VideoWindow*> others = otherShownWindows(self);
    for (const VideoWindow* w : others) request.phones.push_back({w->shape(), w->userPlacement()});
    HWND panel = shownPanel();
    RECT r{};
    if (panel && GetWindowRect(panel, &r)) {
        request.panel = {r.left, r.top, r.right, r.bottom};
        request.panelUserPlaced = UserPlacement::isMarked(panel);
    }
    const WindowLayout layout = layoutWindows(request);
    if (panel && layout.panel != request.panel) {
        SetWindowPos(panel, nullptr, layout.panel.left, layout.panel.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (size_t i = 0; i < others.size(); ++i) {
        const Rect& to = layout.phones[i + 1];
        if (GetWindowRect(others[i]->window(), &r) &&
            to != Rect{r.left, r.top, r.right, r.bottom}) {
            others[i]->placeAt(to);
        }
    }
    return layout.phones.front();
}

class VideoPortWin final : public VideoPort {
  public:
    VideoPortWin(HINSTANCE instance, VideoEvents events)
        : instance_(instance),
          events_(std::move(events)),
          window_(windowCallbacks()),
          // The keys go to the App, which keeps what is held on the phone; this takes the mouse.
          input_([this] { return window_.window(); }, [this] { return pictureSize(); },
                 mouseTargets(), KeyTargets{}),
          mouse_(input_.mouse()) {
        std::lock_guard lock(gWindowsMutex);
        gWindows.push_back(&window_);
    }
    ~VideoPortWin() override {
        std::lock_guard lock(gWindowsMutex);
        std::erase(gWindows, &window_);
    }

    void setStreamName(const std::string& name) override { window_.setStreamName(name); }
    bool create(std::string& errorText) override {
        std::wstring error;
        if (!window_.create(instance_, error)) {
            errorText = narrow(error);
            return false;
        }
        return true;
    }
    void destroy() override {
        mouse_.releaseCapture();
        window_.destroy();
    }
    void show(bool visible) override { window_.show(visible); }
    void setTitle(const std::string& title) override {
        if (window_.window()) SetWindowTextW(window_.window(), widen(title).c_str());
    }
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
    void expectStream(int codec, int width, int height) override {
        window_.expectStream(codec, width, height);
    }
    VideoStats stats() const override {
        const VideoSnapshot s = window_.snapshot();
        VideoStats out;
        out.shownPerSecond = s.shownPerSecond;
        out.latencyMs = s.latencyMs;
        out.received = static_cast<int32_t>(s.received);
        out.dropped = static_cast<int32_t>(s.dropped);
        out.onGpu = s.onGpu;
        out.decodedPictures = s.decodedPictures;
        out.decodeMicros = s.decodeMicros;
        out.presentedPictures = s.presentedPictures;
        out.presentMicros = s.presentMicros;
        out.backlogResets = s.backlogResets;
        return out;
    }
    bool captured() const override { return mouse_.captured(); }
    void setCapturePossible(bool possible) override { mouse_.setMouseInput(possible); }
    void setPhoneScreen(int width, int height) override { window_.setExpectedSize(width, height); }
    void setDeviceMode(bool deviceMode) override { mouse_.setDeviceMode(deviceMode); }
    void releaseCapture() override { mouse_.releaseCapture(); }
    void toggleFullscreen() override { window_.toggleFullscreen(); }
    void placeAt(const Rect& window) override { window_.placeAt(window); }
    std::optional<Rect> userPlacement() const override { return window_.userPlacement(); }
    void setUserPlacement(std::optional<Rect> window) override { window_.setUserPlacement(window); }
    void grabPicture(std::function<void(std::optional<Bitmap>)> done) override {
        window_.grabPicture(std::move(done));
    }

  private:
    VideoWindowCallbacks windowCallbacks() {
        VideoWindowCallbacks cb;
        cb.arrange = [this](LayoutRequest request) {
            return arrangeBesidePanel(std::move(request), window_);
        };
        // One of the windows still shown lays them all out again, sharing the room freed.
        cb.hidden = [this] {
            const std::vector<VideoWindow*> others = otherShownWindows(window_);
            if (!others.empty()) others.front()->layOutAgain();
        };
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
            return events_.key && events_.key(down, virtualKey, lParam, currentKeyboardState());
        };
        cb.focusLost = [this] {
            if (events_.focusLost) events_.focusLost();
        };
        cb.mouse = [this](uint32_t message, uint64_t wParam, int64_t lParam) {
            return input_.onWindowMessage(message, wParam, lParam);
        };
        cb.filesDropped = [this](std::vector<std::wstring> paths) {
            if (events_.filesDropped) events_.filesDropped(std::move(paths));
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

    // The stream's picture, or before a stream the phone's screen.
    PictureSize pictureSize() const {
        Size size = window_.streamSize();
        if (size.width <= 0 || size.height <= 0) size = window_.expectedSize();
        return {size.width, size.height};
    }

    HINSTANCE instance_;
    VideoEvents events_;
    VideoWindow window_;
    VideoWindowInput input_;
    MouseInput& mouse_;
};

}  // namespace

std::unique_ptr<VideoPort> makeVideoPortWin(HINSTANCE instance, VideoEvents events) {
    return std::make_unique<VideoPortWin>(instance, std::move(events));
}

}  // namespace tov
