#include "panel/panel_win.h"

#include <d2d1.h>
#include <dwmapi.h>
#include <windowsx.h>

#include <algorithm>
#include <optional>

#include "core/log.h"
#include "panel/d2d_painter_win.h"
#include "panel/panel_view.h"
#include "panel/repaint_policy.h"
#include "panel/status_texts.h"
#include "panel/text_formats_win.h"
#include "panel/window_geometry.h"
#include "platform/clock.h"
#include "platform/win/com_ptr.h"
#include "platform/win/user_placement_win.h"
#include "platform/win/win_compat.h"

namespace tov {

namespace {

// The repaint policy says which of these run and how often.
constexpr UINT_PTR kStatsTimer = 1;
constexpr UINT_PTR kAnimationTimer = 2;
constexpr UINT_PTR kSightTimer = 3;
constexpr UINT_PTR kClockTimer = 4;

// The held modifiers as the shortcut table names them.
uint8_t heldModifiers() {
    static const int keys[] = {VK_LCONTROL, VK_RCONTROL, VK_LSHIFT, VK_RSHIFT,
                               VK_LMENU,    VK_RMENU,    VK_LWIN,   VK_RWIN};
    uint8_t mask = 0;
    for (int i = 0; i < 8; ++i)
        if (GetKeyState(keys[i]) & 0x8000) mask |= static_cast<uint8_t>(1u << i);
    return mask;
}

// Scan code plus 0x100 for extended keys, from a key message's lParam.
uint16_t keyIdFrom(LPARAM lParam) {
    uint16_t scan = static_cast<uint16_t>((lParam >> 16) & 0xFF);
    return static_cast<uint16_t>(scan | ((lParam & (1 << 24)) ? 0x100 : 0));
}

}  // namespace

struct Panel::Impl {
    Panel& owner;
    ModelProvider provider;
    panel::TextFormats formats;
    std::unique_ptr<panel::DWriteMeasurer> measurer;
    std::unique_ptr<panel::D2DPainter> painter;
    std::unique_ptr<panel::PanelView> view;
    std::unique_ptr<panel::RepaintPolicy> policy;
    // Whether the user moved or sized the panel: the video windows' layout then leaves it.
    UserPlacement placement;
    ComPtr<ID2D1Factory> d2d;
    ComPtr<ID2D1HwndRenderTarget> target;
    UINT dpi = 96;
    bool tracking = false;
    float lastX = 0;  // DIPs, for a drag whose capture is taken away
    WINDOWPLACEMENT saved{};

    explicit Impl(Panel& p) : owner(p) {}

    HWND hwnd() const { return owner.window; }
    float scale() const { return dpi / 96.0f; }

    void releaseTarget() {
        painter->releaseTargetResources();
        target.Reset();
    }

    bool ensureTarget() {
        if (target) return true;
        RECT rc;
        GetClientRect(hwnd(), &rc);
        D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties();
        props.dpiX = props.dpiY = static_cast<float>(dpi);
        HRESULT hr = d2d->CreateHwndRenderTarget(
            props,
            // Kept between paints, so that a change repaints only its own part of the window.
            D2D1::HwndRenderTargetProperties(hwnd(),
                                             D2D1::SizeU(rc.right - rc.left, rc.bottom - rc.top),
                                             D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS),
            &target);
        if (FAILED(hr)) {
            logLine("panel: render target failed 0x%08lx", static_cast<unsigned long>(hr));
            return false;
        }
        target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
        return true;
    }

    UINT statsTimerMs = 0;
    UINT animationTimerMs = 0;
    UINT sightTimerMs = 0;
    uint64_t clockTimerAt = 0;
    uint64_t paints = 0;

    panel::RectF clientDips() const {
        RECT rc;
        GetClientRect(hwnd(), &rc);
        return {0, 0, (rc.right - rc.left) / scale(), (rc.bottom - rc.top) / scale()};
    }

    panel::Sight sight() const {
        panel::Sight s;
        s.minimized = IsIconic(hwnd()) != FALSE;
        s.occluded = target && (target->CheckWindowState() & D2D1_WINDOW_STATE_OCCLUDED);
        return s;
    }

    void paint() {
        PAINTSTRUCT ps;
        BeginPaint(hwnd(), &ps);
        const bool fresh = !target;
        if (ensureTarget()) {
            const std::optional<panel::RectF> area =
                policy->paintArea(fresh,
                                  {ps.rcPaint.left / scale(), ps.rcPaint.top / scale(),
                                   ps.rcPaint.right / scale(), ps.rcPaint.bottom / scale()},
                                  clientDips(), tickMs());
            target->BeginDraw();
            painter->paint(target.Get(), view->drawList(), area);
            HRESULT hr = target->EndDraw();
            // After a present into a covered window the target reports it covered until asked
            // once: asked now, it tells the window's own state the next time.
            target->CheckWindowState();
            if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
                releaseTarget();
                InvalidateRect(hwnd(), nullptr, FALSE);
            }
            policy->painted();
            ++paints;
            scheduleTimers();
        }
        EndPaint(hwnd(), &ps);
    }

    // Does what the policy answered.
    void apply(const panel::Repaint& r) {
        switch (r.kind) {
            case panel::Repaint::Kind::Nothing:
                break;
            case panel::Repaint::Kind::Whole:
                InvalidateRect(hwnd(), nullptr, FALSE);
                break;
            case panel::Repaint::Kind::Area: {
                // Whole device pixels around the change, with a pixel for antialiasing.
                RECT rect{static_cast<LONG>(r.area.left * scale()) - 1,
                          static_cast<LONG>(r.area.top * scale()) - 1,
                          static_cast<LONG>(r.area.right * scale()) + 2,
                          static_cast<LONG>(r.area.bottom * scale()) + 2};
                InvalidateRect(hwnd(), &rect, FALSE);
                break;
            }
            case panel::Repaint::Kind::Pulse:
                drawPulse();
                break;
        }
        scheduleTimers();
    }

    void repaint() { apply(policy->redrawWhole()); }

    // Takes the App's model when `pull` is set (or the clock moved a text on, `clock`), and
    // repaints what changed.
    void update(bool pull, bool clock = false) {
        const bool changed = (pull && provider && view->updateModel(provider())) || clock;
        apply(policy->changed(changed, sight(), clientDips(), tickMs()));
    }

    // The live dot's next step, drawn straight onto the window: a present of the whole drawing
    // for a few pixels would cost far more (under Wine, most of a core). Drawn four times as
    // large and halved twice by the stretch, so its edge is smooth.
    void drawPulse() {
        const panel::PulseDot& dot = *view->pulseDot();
        constexpr int kSuper = 4;
        const float s = scale();
        const int left = static_cast<int>((dot.cx - dot.radius - 1) * s);
        const int top = static_cast<int>((dot.cy - dot.radius - 1) * s);
        const int side = static_cast<int>((dot.radius * 2 + 2) * s) + 2;
        const float alpha = panel::pulseOpacity(tickMs());
        auto blend = [alpha](uint32_t over, uint32_t under, int shift) {
            const float a = static_cast<float>((over >> shift) & 0xFF);
            const float b = static_cast<float>((under >> shift) & 0xFF);
            return static_cast<BYTE>(b + (a - b) * alpha + 0.5f);
        };
        const COLORREF colour =
            RGB(blend(dot.rgb, dot.background, 16), blend(dot.rgb, dot.background, 8),
                blend(dot.rgb, dot.background, 0));
        const COLORREF ground =
            RGB((dot.background >> 16) & 0xFF, (dot.background >> 8) & 0xFF, dot.background & 0xFF);
        HDC dc = GetDC(hwnd());
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP big = CreateCompatibleBitmap(dc, side * kSuper, side * kSuper);
        HGDIOBJ oldBitmap = SelectObject(mem, big);
        HBRUSH groundBrush = CreateSolidBrush(ground);
        RECT all{0, 0, side * kSuper, side * kSuper};
        FillRect(mem, &all, groundBrush);
        HBRUSH dotBrush = CreateSolidBrush(colour);
        HGDIOBJ oldBrush = SelectObject(mem, dotBrush);
        HGDIOBJ oldPen = SelectObject(mem, GetStockObject(NULL_PEN));
        const float cx = (dot.cx * s - left) * kSuper;
        const float cy = (dot.cy * s - top) * kSuper;
        const float r = dot.radius * s * kSuper;
        Ellipse(mem, static_cast<int>(cx - r), static_cast<int>(cy - r), static_cast<int>(cx + r),
                static_cast<int>(cy + r));
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, left, top, side, side, mem, 0, 0, side * kSuper, side * kSuper, SRCCOPY);
        SelectObject(mem, oldPen);
        SelectObject(mem, oldBrush);
        SelectObject(mem, oldBitmap);
        DeleteObject(dotBrush);
        DeleteObject(groundBrush);
        DeleteObject(big);
        DeleteDC(mem);
        ReleaseDC(hwnd(), dc);
    }

    static void setTimer(HWND w, UINT_PTR id, UINT wanted, UINT& current) {
        if (wanted == current) return;
        if (wanted == 0)
            KillTimer(w, id);
        else
            SetTimer(w, id, wanted, nullptr);
        current = wanted;
    }

    void scheduleTimers() {
        const panel::RepaintTimers t = policy->timers(IsIconic(hwnd()) != FALSE);
        setTimer(hwnd(), kStatsTimer, t.statsMs, statsTimerMs);
        setTimer(hwnd(), kAnimationTimer, t.animationMs, animationTimerMs);
        setTimer(hwnd(), kSightTimer, t.sightMs, sightTimerMs);
        if (t.clockAtMs != clockTimerAt) {
            clockTimerAt = t.clockAtMs;
            if (clockTimerAt == 0) {
                KillTimer(hwnd(), kClockTimer);
            } else {
                const uint64_t now = tickMs();
                const uint64_t wait = clockTimerAt > now ? clockTimerAt - now : 1;
                SetTimer(hwnd(), kClockTimer,
                         static_cast<UINT>(std::min<uint64_t>(wait, 0x7FFFFFFF)), nullptr);
            }
        }
    }

    void setFullScreen(bool enter) {
        HWND w = hwnd();
        if (enter) {
            saved.length = sizeof saved;
            GetWindowPlacement(w, &saved);
            MONITORINFO mi{};
            mi.cbSize = sizeof mi;
            GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &mi);
            SetWindowLongPtrW(w, GWL_STYLE, WS_POPUP | WS_VISIBLE);
            SetWindowPos(w, HWND_TOP, mi.rcMonitor.left, mi.rcMonitor.top,
                         mi.rcMonitor.right - mi.rcMonitor.left,
                         mi.rcMonitor.bottom - mi.rcMonitor.top, SWP_FRAMECHANGED);
        } else {
            SetWindowLongPtrW(w, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
            SetWindowPlacement(w, &saved);
            SetWindowPos(w, nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
        }
    }

    // The window rectangle for a client size in DIPs at the current DPI.
    RECT frameFor(int dipsWide, int dipsHigh) const {
        RECT r{0, 0, panel::scaleToDpi(dipsWide, dpi), panel::scaleToDpi(dipsHigh, dpi)};
        AdjustWindowRectExForDpi(&r, WS_OVERLAPPEDWINDOW, FALSE, 0, dpi);
        return r;
    }

    void placeInitially() {
        RECT frame = frameFor(panel::kInitialClientWidth, panel::kInitialClientHeight);
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST), &mi);
        panel::IntRect r = panel::centredInWorkArea(
            {frame.left, frame.top, frame.right, frame.bottom},
            {mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom});
        SetWindowPos(hwnd(), nullptr, r.left, r.top, r.width(), r.height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
};

namespace {

LRESULT CALLBACK panelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* impl = reinterpret_cast<Panel::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        impl = static_cast<Panel::Impl*>(cs->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
        impl->owner.window = hwnd;
    }
    if (!impl) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return impl->handle(msg, wParam, lParam);
}

}  // namespace

LRESULT Panel::Impl::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND w = hwnd();
    float s = scale();
    placement.onMessage(w, msg);
    switch (msg) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case kPanelRefreshMessage:
            // Something changed somewhere: take the new state, draw what it changed.
            update(true);
            return 0;
        case WM_ACTIVATE:
            // Brought forward after being covered: what changed meanwhile is drawn now.
            if (LOWORD(wParam) != WA_INACTIVE) apply(policy->sightCheck(sight()));
            break;
        case WM_TIMER:
            switch (wParam) {
                case kAnimationTimer:
                    apply(policy->animationTick(sight(), clientDips(), tickMs()));
                    break;
                case kSightTimer:
                    // Uncovered without being activated: nothing else would tell.
                    apply(policy->sightCheck(sight()));
                    break;
                case kClockTimer:
                    // Set again from the drawing this builds, when a text still has to change.
                    KillTimer(w, kClockTimer);
                    clockTimerAt = 0;
                    update(false, true);
                    break;
                default:
                    update(true);
                    break;
            }
            return 0;
        case WM_TIMECHANGE:
            // The clock was set: the texts that read it are looked at again.
            update(false, true);
            return 0;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) {
                scheduleTimers();
                return 0;
            }
            if (target) target->Resize(D2D1::SizeU(LOWORD(lParam), HIWORD(lParam)));
            view->resized();
            repaint();
            return 0;
        case WM_DPICHANGED: {
            dpi = HIWORD(wParam);
            auto* r = reinterpret_cast<RECT*>(lParam);
            releaseTarget();  // its scale is the old one
            SetWindowPos(w, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            repaint();
            return 0;
        }
        case WM_GETMINMAXINFO: {
            RECT r = frameFor(panel::kMinClientWidth, panel::kMinClientHeight);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = r.right - r.left;
            info->ptMinTrackSize.y = r.bottom - r.top;
            // At a large scale on a small screen the smallest panel is larger than the work
            // area: the window stays inside it and the pages scroll.
            MONITORINFO mi{};
            mi.cbSize = sizeof mi;
            if (GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &mi)) {
                info->ptMinTrackSize.x =
                    std::min<LONG>(info->ptMinTrackSize.x, mi.rcWork.right - mi.rcWork.left);
                info->ptMinTrackSize.y =
                    std::min<LONG>(info->ptMinTrackSize.y, mi.rcWork.bottom - mi.rcWork.top);
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            if (!tracking) {
                TRACKMOUSEEVENT tme{};
                tme.cbSize = sizeof tme;
                tme.dwFlags = TME_LEAVE;
                tme.hwndTrack = w;
                tracking = TrackMouseEvent(&tme) != FALSE;
            }
            lastX = GET_X_LPARAM(lParam) / s;
            if (view->mouseMove(lastX, GET_Y_LPARAM(lParam) / s)) repaint();
            return 0;
        case WM_MOUSELEAVE:
            tracking = false;
            if (view->mouseLeave()) repaint();
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, view->overPressable() ? IDC_HAND : IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_LBUTTONDOWN:
            if (view->mouseDown(GET_X_LPARAM(lParam) / s, GET_Y_LPARAM(lParam) / s)) SetCapture(w);
            repaint();
            return 0;
        case WM_LBUTTONUP:
            // The view acts first: releasing the capture afterwards finds no press left to end.
            view->mouseUp(GET_X_LPARAM(lParam) / s, GET_Y_LPARAM(lParam) / s, tickMs());
            if (GetCapture() == w) ReleaseCapture();
            repaint();
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != w) {
                view->captureLost(lastX);
                repaint();
            }
            return 0;
        case WM_MOUSEWHEEL:
            if (view->wheel(GET_WHEEL_DELTA_WPARAM(wParam))) repaint();
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (view->keyDown(static_cast<unsigned>(wParam), keyIdFrom(lParam), heldModifiers(),
                              msg == WM_SYSKEYDOWN) == panel::KeyOutcome::Handled) {
                repaint();
                return 0;
            }
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_SYSCHAR:
            if (view->swallowsOtherKeyMessages()) return 0;
            break;
        case WM_CHAR:
            if (view->character(static_cast<wchar_t>(wParam))) repaint();
            return 0;
        case WM_DESTROY:
            KillTimer(w, kStatsTimer);
            KillTimer(w, kAnimationTimer);
            KillTimer(w, kSightTimer);
            KillTimer(w, kClockTimer);
            releaseTarget();
            UserPlacement::mark(w, false);
            owner.window = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(w, msg, wParam, lParam);
}

Panel::Panel() : impl_(std::make_unique<Impl>(*this)) {}

Panel::~Panel() {
    if (window) {
        // The window must not call back into a destroyed object.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        UserPlacement::mark(window, false);
        DestroyWindow(window);
    }
}

panel::PanelView* Panel::view() {
    return impl_->view.get();
}

uint64_t Panel::paints() const {
    return impl_->paints;
}

bool Panel::create(HINSTANCE instance, int showCommand, ModelProvider provider,
                   panel::PanelCallbacks callbacks) {
    Impl& d = *impl_;
    if (!d.formats.create()) return false;
    HRESULT hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, d.d2d.GetAddressOf());
    if (FAILED(hr)) {
        logLine("panel: Direct2D factory failed 0x%08lx", static_cast<unsigned long>(hr));
        return false;
    }
    d.provider = std::move(provider);
    d.measurer = std::make_unique<panel::DWriteMeasurer>(d.formats);
    d.painter = std::make_unique<panel::D2DPainter>(d.formats);
    d.view = std::make_unique<panel::PanelView>(*d.measurer, std::move(callbacks));
    d.view->onFullScreen = [&d](bool enter) { d.setFullScreen(enter); };
    d.policy = std::make_unique<panel::RepaintPolicy>(*d.view);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = panelProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.lpszClassName = kPanelClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        logLine("panel: class registration failed %lu", GetLastError());
        return false;
    }
    HWND w = CreateWindowExW(0, kPanelClassName, L"Tovenmar", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, &d);
    if (!w) {
        logLine("panel: window creation failed %lu", GetLastError());
        return false;
    }
    d.dpi = GetDpiForWindow(w);
    if (d.dpi == 0) d.dpi = 96;
    BOOL dark = TRUE;
    DwmSetWindowAttribute(w, DWMWA_USE_IMMERSIVE_DARK_MODE, &dark, sizeof dark);
    COLORREF caption = RGB(20, 20, 22);
    COLORREF text = RGB(237, 235, 232);
    DwmSetWindowAttribute(w, DWMWA_CAPTION_COLOR, &caption, sizeof caption);
    DwmSetWindowAttribute(w, DWMWA_TEXT_COLOR, &text, sizeof text);
    d.placeInitially();
    if (d.provider) d.view->setModel(d.provider());
    ShowWindow(w, showCommand);
    UpdateWindow(w);
    return true;
}

}  // namespace tov
