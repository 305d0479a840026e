#include "video/video_window_win.h"

#include <dwmapi.h>
#include <mfapi.h>
#include <objbase.h>
#include <shellapi.h>

#include "core/log.h"
#include "platform/win/win_compat.h"
#include "video/hevc_probe_win.h"
#include "video/mf_decoder_win.h"
#include "video/video_device_win.h"
#include "video/video_renderer_win.h"

namespace tov {
namespace {

constexpr wchar_t kClassName[] = L"TovenmarVideo";
constexpr DWORD kWindowedStyle = WS_OVERLAPPEDWINDOW;

}  // namespace

VideoWindow::VideoWindow(VideoWindowCallbacks callbacks) : callbacks_(std::move(callbacks)) {}

VideoWindow::~VideoWindow() {
    destroy();
}

bool VideoWindow::create(HINSTANCE instance, std::wstring& errorText) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &VideoWindow::windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.lpszClassName = kClassName;
    // A second window in the same process (tests) finds the class already there.
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        errorText = L"Could not create the video window.";
        return false;
    }

    window_ =
        CreateWindowExW(0, kClassName, L"Tovenmar \u2014 Video", kWindowedStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 1280, 600, nullptr, nullptr, instance, this);
    if (!window_) {
        errorText = L"Could not create the video window.";
        return false;
    }
    const BOOL dark = TRUE;
    DwmSetWindowAttribute(window_, DWMWA_USE_IMMERSIVE_DARK_MODE, &dark, sizeof dark);
    DragAcceptFiles(window_, TRUE);

    device_ = std::make_unique<VideoDevice>();
    if (!createVideoDevice(window_, *device_, errorText)) {
        DestroyWindow(window_);
        window_ = nullptr;
        device_.reset();
        return false;
    }

    HWND hwnd = window_;
    renderer_ = std::make_unique<VideoRenderer>(*device_, [hwnd](int32_t w, int32_t h) {
        PostMessageW(hwnd, kReshapeMessage, static_cast<WPARAM>(w), static_cast<LPARAM>(h));
    });
    decoder_ = std::make_unique<MfDecoder>(device_->deviceManager.Get(), [this](IMFSample* sample) {
        renderer_->holdPicture(sample, decoder_->outWidth(), decoder_->outHeight(),
                               decoder_->outStride());
    });
    if (SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE))) {
        hevcUsable_ = probeHevc(device_->videoDevice.Get());
        MFShutdown();
    }

    VideoPipeline::Callbacks pc;
    pc.keyFrameWanted = [this] {
        if (callbacks_.keyFrameWanted) callbacks_.keyFrameWanted();
    };
    pc.phoneToPc = [this](int64_t t, int64_t* out) {
        return callbacks_.phoneToPc && callbacks_.phoneToPc(t, out);
    };
    pipeline_ = std::make_unique<VideoPipeline>(*decoder_, *renderer_, pc);
    pipeline_->setStreamName(streamName_);
    renderer_->setStreamName(streamName_);
    pipeline_->start();
    return true;
}

void VideoWindow::stopVideoThread() {
    if (pipeline_) pipeline_->stop();
}

void VideoWindow::destroy() {
    stopVideoThread();
    pipeline_.reset();
    decoder_.reset();
    renderer_.reset();
    device_.reset();
    if (window_) {
        UserPlacement::mark(window_, false);
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
        window_ = nullptr;
    }
}

void VideoWindow::show(bool visible) {
    if (!window_) return;
    // On its own thread at once (the closing program has no message loop left to run it).
    if (GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId())
        ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
    else
        ShowWindowAsync(window_, visible ? SW_SHOWNA : SW_HIDE);
}

void VideoWindow::setOnTop(bool onTop) {
    if (!window_) return;
    SetWindowPos(window_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_ASYNCWINDOWPOS | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

void VideoWindow::toggleFullscreen() {
    if (!window_) return;
    if (!fullscreen_) {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        savedPlacement_.length = sizeof savedPlacement_;
        if (!GetWindowPlacement(window_, &savedPlacement_) ||
            !GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &mi)) {
            return;
        }
        SetWindowLongPtrW(window_, GWL_STYLE, WS_POPUP | WS_VISIBLE);
        SetWindowPos(window_, nullptr, mi.rcMonitor.left, mi.rcMonitor.top,
                     mi.rcMonitor.right - mi.rcMonitor.left, mi.rcMonitor.bottom - mi.rcMonitor.top,
                     SWP_FRAMECHANGED | SWP_NOZORDER);
        fullscreen_ = true;
    } else {
        SetWindowLongPtrW(window_, GWL_STYLE, kWindowedStyle | WS_VISIBLE);
        SetWindowPlacement(window_, &savedPlacement_);
        SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
        fullscreen_ = false;
    }
}

void VideoWindow::setExpectedSize(int32_t width, int32_t height) {
    Size previous;
    {
        std::lock_guard lock(expectedMutex_);
        previous = expected_;
        expected_ = {width, height};
    }
    const Size stream = streamSize();
    if (window_ && expectedSizeReshapeDue(previous, {width, height}, stream.width > 0)) {
        // Posted: this may run on any thread, and only the window's thread may move it.
        PostMessageW(window_, kPhoneShapeMessage, static_cast<WPARAM>(width),
                     static_cast<LPARAM>(height));
    }
}

Size VideoWindow::expectedSize() const {
    std::lock_guard lock(expectedMutex_);
    return expected_;
}

Size VideoWindow::streamSize() const {
    return renderer_ ? renderer_->streamSize() : Size{};
}

void VideoWindow::onConfig(int32_t width, int32_t height, int32_t fps, int32_t codec,
                           const uint8_t* csd, size_t csdLength) {
    if (pipeline_) pipeline_->onConfig(width, height, fps, codec, csd, csdLength);
}

void VideoWindow::onPacket(const uint8_t* data, size_t size, int64_t pts, bool key) {
    if (pipeline_) pipeline_->onPacket(data, size, pts, key);
}

void VideoWindow::reset() {
    if (pipeline_) pipeline_->reset();
}

void VideoWindow::expectStream(int32_t codec, int32_t width, int32_t height) {
    if (pipeline_) pipeline_->prepare(codec, width, height, 60);
}

VideoSnapshot VideoWindow::snapshot() const {
    return pipeline_ ? pipeline_->snapshot() : VideoSnapshot{};
}

void VideoWindow::grabPicture(VideoPipeline::PictureHandler done) {
    if (pipeline_) {
        pipeline_->grabPicture(std::move(done));
    } else if (done) {
        done(std::nullopt);
    }
}

void VideoWindow::filesDropped(HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Asked for its length first: a path may be longer than MAX_PATH.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        if (!path.empty()) paths.push_back(std::move(path));
    }
    DragFinish(drop);
    if (!paths.empty() && callbacks_.filesDropped) callbacks_.filesDropped(std::move(paths));
}

Size VideoWindow::frameSize() const {
    RECT r{0, 0, 0, 0};
    AdjustWindowRectExForDpi(&r, kWindowedStyle, FALSE, 0, GetDpiForWindow(window_));
    return {r.right - r.left, r.bottom - r.top};
}

void VideoWindow::fitToShape(int32_t width, int32_t height) {
    if (!window_ || fullscreen_ || width <= 0 || height <= 0) return;
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &mi)) return;
    shape_ = {width, height};
    LayoutRequest request;
    request.work = {mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom};
    request.frame = frameSize();
    request.phones.push_back({{width, height}, userPlacement()});
    const Rect placed = callbacks_.arrange ? callbacks_.arrange(std::move(request))
                                           : layoutWindows(request).phones.front();
    placeAt(placed);
    logLine("%s: window shaped for %dx%d, client %dx%d at %d,%d",
            logTag("video", streamName_).c_str(), width, height,
            placed.width() - request.frame.width, placed.height() - request.frame.height,
            placed.left, placed.top);
}

void VideoWindow::layOutAgain() {
    if (window_) PostMessageW(window_, kLayOutAgainMessage, 0, 0);
}

void VideoWindow::placeAt(Rect window) {
    if (!window_ || fullscreen_ || window.width() <= 0 || window.height() <= 0) return;
    SetWindowPos(window_, nullptr, window.left, window.top, window.width(), window.height(),
                 SWP_NOACTIVATE | SWP_NOZORDER);
    // A user's window the layout turned or pulled onto the screen is still theirs, now here.
    std::lock_guard lock(placementMutex_);
    if (userPlacement_) userPlacement_ = window;
}

std::optional<Rect> VideoWindow::userPlacement() const {
    std::lock_guard lock(placementMutex_);
    return userPlacement_;
}

void VideoWindow::setUserPlacement(std::optional<Rect> window) {
    std::lock_guard lock(placementMutex_);
    userPlacement_ = window;
}

LRESULT CALLBACK VideoWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<VideoWindow*>(cs->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = hwnd;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<VideoWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

bool VideoWindow::forwardMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    return callbacks_.mouse &&
           callbacks_.mouse(message, static_cast<uint64_t>(wParam), static_cast<int64_t>(lParam));
}

LRESULT VideoWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOVE:
            forwardMouse(message, wParam, lParam);  // a captured mouse is clipped again
            return 0;
        case WM_SIZE:
            if (renderer_) renderer_->requestResize();
            if (pipeline_) pipeline_->wake();
            forwardMouse(message, wParam, lParam);
            return 0;
        case WM_KILLFOCUS:
            forwardMouse(message, wParam, lParam);
            if (callbacks_.focusLost) callbacks_.focusLost();
            return 0;
        case WM_CLOSE:
            // Closing only hides: the stream and the other windows go on.
            if (fullscreen_) toggleFullscreen();
            ShowWindow(window_, SW_HIDE);
            if (callbacks_.closed) callbacks_.closed();
            return 0;
        case WM_SETCURSOR:
            if (forwardMouse(message, wParam, lParam)) return TRUE;
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            // Uncovered: the swap chain draws the window, so it takes one present, not painting.
            ValidateRect(window_, nullptr);
            if (pipeline_) pipeline_->wake();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            const Size least = minimumWindowSize(shape_, LayoutRequest{}.minimum);
            info->ptMinTrackSize = {least.width, least.height};
            return 0;
        }
        case WM_ENTERSIZEMOVE:
        case WM_EXITSIZEMOVE:
            if (placementTracker_.onMessage(window_, message)) {
                RECT r{};
                if (GetWindowRect(window_, &r))
                    setUserPlacement(Rect{r.left, r.top, r.right, r.bottom});
            }
            break;
        case WM_INPUT:
            forwardMouse(message, wParam, lParam);
            break;  // the default procedure frees the input
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
            return handleKey(message, wParam, lParam);
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
        case WM_CAPTURECHANGED:
            if (!forwardMouse(message, wParam, lParam) && message == WM_LBUTTONDBLCLK) {
                toggleFullscreen();
            }
            return 0;
        case WM_SYSCHAR:
            return 0;  // no beep for Alt+letter shortcuts
        case WM_SHOWWINDOW:
            if (!wParam && callbacks_.hidden) callbacks_.hidden();
            break;
        case kLayOutAgainMessage:
            // Not while hidden: the program's end hides every window in turn.
            if (IsWindowVisible(window_) && shape_.width > 0)
                fitToShape(shape_.width, shape_.height);
            return 0;
        case kReshapeMessage:
            fitToShape(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
            return 0;
        case kPhoneShapeMessage:
            if (streamSize().width <= 0) {
                fitToShape(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
            }
            return 0;
        case WM_DROPFILES:
            filesDropped(reinterpret_cast<HDROP>(wParam));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT VideoWindow::handleKey(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const auto virtualKey = static_cast<unsigned>(wParam);
    if (down && virtualKey == VK_F11) {
        toggleFullscreen();
        return 0;
    }
    if (message == WM_SYSKEYDOWN && virtualKey == VK_F4) {
        return DefWindowProcW(window_, message, wParam, lParam);  // Alt+F4 closes (hides)
    }
    const bool taken =
        callbacks_.key && callbacks_.key(down, virtualKey, static_cast<int64_t>(lParam));
    if (!taken && down && virtualKey == VK_ESCAPE && fullscreen_) toggleFullscreen();
    return 0;
}

}  // namespace tov
