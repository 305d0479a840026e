// The panel on Windows: pages drawn by Direct2D and DirectWrite into a bitmap (checked pixel by
// pixel and saved as PNG beside the test), and the real window driven through its messages.
#include "panel/panel_win.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "panel/colors.h"
#include "panel/d2d_painter_win.h"
#include "panel/panel_view.h"
#include "panel/tests/bitmap_canvas_win.h"
#include "panel/tests/panel_harness.h"
#include "panel/text_formats_win.h"
#include "panel/window_geometry.h"
#include "tests/support/qr_reader.h"

namespace tov::panel::test {
namespace {

class ComScope {
  public:
    ComScope() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComScope() { CoUninitialize(); }
};

PanelModel richModel() {
    PanelModel m = connectedModel();
    m.linkState = LinkState::Live;
    m.streaming = true;
    m.inputState = 2;
    m.deviceMode = true;
    m.keyName = L"Right Alt";
    m.encoderName = "c2.qti.avc.encoder";
    m.width = 1920;
    m.height = 1080;
    m.statFps = 60;
    m.rateMbps = 38.4;
    m.statVideoDelayMs = 41;
    m.statInputDelayMs = 6;
    m.statFrames = 1000;
    m.statDropped = 11;
    m.link = 45;
    m.audioNote = "48 kHz stereo, 16-bit PCM";
    m.shortcutTexts = {{L"Home", L"Right Alt + H"},           {L"Back", L"Right Alt + B"},
                       {L"Recent apps", L"Right Alt + S"},    {L"Notifications", L"Right Alt + N"},
                       {L"Power", L"Right Alt + P"},          {L"Volume up", L"Right Alt + Up"},
                       {L"Volume down", L"Right Alt + Down"}, {L"Fullscreen", L"Right Alt + F"},
                       {L"Touch / Device", L"Not set"}};
    m.phones = {{"key-a", "Pixel 8", true, true}, {"key-b", "Galaxy S23", false, true}};
    m.chosenKey = "key-a";
    m.updater.state = 3;
    m.updater.version = "1.2.0";
    return m;
}

class PanelPictures : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(formats.create());
        measurer = std::make_unique<DWriteMeasurer>(formats);
        painter = std::make_unique<D2DPainter>(formats);
        view = std::make_unique<PanelView>(*measurer, recordingCallbacks(rec));
        ASSERT_TRUE(canvas.create(1060, 760));
    }

    void draw(const PanelModel& m) {
        view->setModel(m);
        view->build(1060, 760, 0);
        ASSERT_TRUE(canvas.render(*painter, view->drawList()));
    }

    const HitRegion* region(int h) {
        for (const auto& r : view->regions())
            if (r.hit == h) return &r;
        return nullptr;
    }

    // Pixels in the box that differ from its background: drawn text shows up as many.
    int inkIn(const RectF& box, uint32_t background) {
        int ink = 0;
        for (float y = box.top; y < box.bottom; y += 1)
            for (float x = box.left; x < box.right; x += 1)
                if (!closeTo(canvas.pixel(x, y), background, 24)) ++ink;
        return ink;
    }

    ComScope com;
    TextFormats formats;
    std::unique_ptr<DWriteMeasurer> measurer;
    std::unique_ptr<D2DPainter> painter;
    Recorded rec;
    std::unique_ptr<PanelView> view;
    BitmapCanvas canvas;
};

TEST_F(PanelPictures, EveryPageIsDrawnAndSaved) {
    static const wchar_t* const kNames[] = {L"stream", L"quality",   L"input",
                                            L"window", L"shortcuts", L"settings"};
    PanelModel m = richModel();
    for (int page = 0; page < kPageCount; ++page) {
        view->state().page = static_cast<Page>(page);
        view->state().scroll = 0;
        draw(m);
        // Sidebar, its edge and the content background.
        EXPECT_TRUE(closeTo(canvas.pixel(240, 50), colors::kSidebar)) << page;
        EXPECT_TRUE(closeTo(canvas.pixel(247.5f, 300), colors::kSeparator)) << page;
        EXPECT_TRUE(closeTo(canvas.pixel(1050, 8), colors::kContentBackground)) << page;
        // The page title is really drawn.
        EXPECT_GT(inkIn({340, 40, 460, 66}, colors::kContentBackground), 40) << page;
        EXPECT_TRUE(canvas.savePng(std::wstring(L"panel-") + kNames[page] + L".png")) << page;
    }
}

TEST_F(PanelPictures, NoPhoneAndCustomSizeAreDrawnAndSaved) {
    // No phone: the notice and every Stream control disabled.
    draw(PanelModel{});
    const HitRegion* video = region(hit::kVideo);
    ASSERT_NE(video, nullptr);
    EXPECT_TRUE(
        closeTo(canvas.pixel(video->rect.left + 5, (video->rect.top + video->rect.bottom) / 2),
                colors::kAccentDisabled));
    EXPECT_TRUE(canvas.savePng(L"panel-stream-no-phone.png"));
    // Custom size in No app mode, with a typed ratio and a field being edited.
    PanelModel m = richModel();
    m.noApp = true;
    m.preset = "custom";
    m.customWidth = 2560;
    m.customHeight = 1080;
    m.aspect = 5;
    m.ratio = "21:9";
    view->state().page = Page::Quality;
    draw(m);
    const HitRegion* fps = region(hit::kFrameRate);
    ASSERT_NE(fps, nullptr);
    float x = (fps->rect.left + fps->rect.right) / 2, y = (fps->rect.top + fps->rect.bottom) / 2;
    view->mouseDown(x, y);
    view->mouseUp(x, y, 0);
    view->character(L'0');
    draw(m);
    // Edited: the darker fill inside an accent border.
    EXPECT_TRUE(closeTo(canvas.pixel(fps->rect.right - 6, y), colors::kCardFill));
    bool border = false;
    for (float dx = 0; dx < 3; dx += 1)
        border = border || closeTo(canvas.pixel(fps->rect.left + dx, y), colors::kAccent, 40);
    EXPECT_TRUE(border);
    EXPECT_TRUE(canvas.savePng(L"panel-quality-custom.png"));
}

TEST_F(PanelPictures, ControlsShowTheirStates) {
    PanelModel m = richModel();
    m.audio = false;
    draw(m);
    // Video on: accent pill; Audio off: the off fill; voice is on but disabled in Phone app mode.
    const HitRegion* video = region(hit::kVideo);
    const HitRegion* audio = region(hit::kAudio);
    const HitRegion* voice = region(hit::kVoice);
    ASSERT_TRUE(video && audio && voice);
    float cy = (video->rect.top + video->rect.bottom) / 2;
    EXPECT_TRUE(closeTo(canvas.pixel(video->rect.left + 5, cy), colors::kAccent));
    EXPECT_TRUE(
        closeTo(canvas.pixel(video->rect.right - 11, (video->rect.top + video->rect.bottom) / 2),
                colors::kWhite));
    cy = (audio->rect.top + audio->rect.bottom) / 2;
    EXPECT_TRUE(closeTo(canvas.pixel(audio->rect.right - 5, cy), colors::kControlOff));
    EXPECT_TRUE(closeTo(canvas.pixel(audio->rect.left + 11, cy), colors::kSecondaryText));
    cy = (voice->rect.top + voice->rect.bottom) / 2;
    EXPECT_TRUE(closeTo(canvas.pixel(voice->rect.left + 5, cy), colors::kAccentDisabled));
    EXPECT_TRUE(closeTo(canvas.pixel(voice->rect.right - 11, cy), colors::kDisabledOnKnob));
    // The live pill's dot and the stop button's tint are drawn in their colours.
    const HitRegion* button = region(hit::kMainButton);
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(
        closeTo(canvas.pixel(button->rect.left + 20, button->rect.top + 3), colors::kSidebar));
    // Without a phone the main button is the filled accent one.
    m = PanelModel{};
    draw(m);
    button = region(hit::kMainButton);
    EXPECT_TRUE(
        closeTo(canvas.pixel(button->rect.left + 10, button->rect.top + 4), colors::kAccent));
}

TEST_F(PanelPictures, TheSmallestWindowShowsTheStatusLineWhole) {
    PanelModel m = richModel();
    m.activityText =
        "Screenshot saved to Pictures\\Tovenmar\\Tovenmar 2026-12-09 05-12-33.png and "
        "copied.";
    BitmapCanvas small;
    ASSERT_TRUE(small.create(kMinClientWidth, kMinClientHeight));
    view->setModel(m);
    view->build(kMinClientWidth, kMinClientHeight, 0);
    ASSERT_TRUE(small.render(*painter, view->drawList()));
    bool found = false;
    for (const DrawOp& op : view->drawList().ops()) {
        if (op.kind != DrawOp::Kind::Text || op.text.rfind(L"Screenshot saved", 0) != 0) continue;
        found = true;
        // DirectWrite's own layout of it fits the box it was given, inside the window.
        EXPECT_LE(measurer->measure(op.text, op.font, op.rect.width(), true).height,
                  op.rect.height() + 0.5f);
        EXPECT_LE(op.rect.right, kMinClientWidth);
        EXPECT_LE(op.rect.bottom, kMinClientHeight);
        int ink = 0;
        for (float y = op.rect.top; y < op.rect.bottom; y += 1)
            for (float x = op.rect.left; x < op.rect.right; x += 1)
                if (!closeTo(small.pixel(x, y), colors::kSidebar, 24)) ++ink;
        EXPECT_GT(ink, 40);
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(small.savePng(L"panel-smallest.png"));
}

TEST_F(PanelPictures, WhatsNewDimsTheWindow) {
    PanelModel m = richModel();
    m.whatsNewVersion = "1.1.0";
    m.whatsNewNotes =
        "Phones on Wi-Fi reconnect by themselves after the cable is pulled.\n\nThe panel keeps its "
        "place when the window is resized, and the frame line shows how many pictures were "
        "dropped.";
    draw(m);
    // Sidebar at 40% of its colour under black at 60%.
    EXPECT_TRUE(closeTo(canvas.pixel(240, 50), 0x0A0A0C, 3));
    const HitRegion* gotIt = region(hit::kGotIt);
    ASSERT_NE(gotIt, nullptr);
    EXPECT_TRUE(closeTo(canvas.pixel(gotIt->rect.left + 4, gotIt->rect.top + 4), colors::kAccent));
    EXPECT_TRUE(canvas.savePng(L"panel-whats-new.png"));
}

TEST_F(PanelPictures, DropdownListIsDrawnOverThePage) {
    PanelModel m = richModel();
    view->state().page = Page::Settings;
    draw(m);
    const HitRegion* phone = region(hit::kPhone);
    ASSERT_NE(phone, nullptr);
    float x = (phone->rect.left + phone->rect.right) / 2,
          y = (phone->rect.top + phone->rect.bottom) / 2;
    view->mouseDown(x, y);
    view->mouseUp(x, y, 0);
    draw(m);
    const HitRegion* item = region(hit::kListItemFirst + 1);
    ASSERT_NE(item, nullptr);
    view->mouseMove(item->rect.left + 40, item->rect.top + 2);
    draw(m);
    EXPECT_TRUE(closeTo(canvas.pixel(item->rect.right - 6, item->rect.top + 22), colors::kAccent));
    EXPECT_TRUE(canvas.savePng(L"panel-dropdown.png"));
}

// A QR code at a position that is not on a pixel boundary, at 100% and 150% scale: each module
// whole pixels of pure black or white, and zbarimg reads the text back from the saved picture.
TEST_F(PanelPictures, QrCodeIsCrispAndReadsBack) {
    const std::string text = "WIFI:T:ADB;S:tovenmar-k3v9q0x2m1;P:7hq2mz8c4w1p;;";
    const QrSymbol symbol = encodeQr(text);
    ASSERT_FALSE(symbol.empty());
    for (float dpi : {96.0f, 144.0f}) {
        BitmapCanvas c;
        ASSERT_TRUE(c.create(320, 320, dpi));
        DrawList list;
        list.fill({0, 0, 320, 320}, {colors::kContentBackground});
        const float side = qrCodeSide(symbol.size);
        const RectF box{20.3f, 30.7f, 20.3f + side, 30.7f + side};
        list.qrCode(symbol, box);
        ASSERT_TRUE(c.render(*painter, list));
        const float scale = dpi / 96;
        const QrPlacement at = placeQrCode(box, symbol.size, scale);
        EXPECT_EQ(at.modulePixels, static_cast<int>(4 * scale));
        int wrong = 0;
        for (int py = at.top; py < at.top + at.side; ++py)
            for (int px = at.left; px < at.left + at.side; ++px) {
                int x = (px - at.left) / at.modulePixels - kQrQuietZone;
                int y = (py - at.top) / at.modulePixels - kQrQuietZone;
                bool dark =
                    x >= 0 && y >= 0 && x < symbol.size && y < symbol.size && symbol.dark(x, y);
                uint32_t colour = c.pixel((px + 0.5f) / scale, (py + 0.5f) / scale);
                if (colour != (dark ? 0x000000u : 0xFFFFFFu)) ++wrong;
            }
        EXPECT_EQ(wrong, 0) << dpi;
        const std::wstring file = L"panel-qr-" + std::to_wstring(static_cast<int>(dpi)) + L".png";
        ASSERT_TRUE(c.savePng(file));
        tov::test::QrReading r = tov::test::readQrCodes(file);
        EXPECT_TRUE(r.ran) << r.error;
        EXPECT_EQ(r.text, text) << dpi << " " << r.error;
    }
}

// The pairing card as the panel draws it on the Settings page, at 100% and 150%: zbarimg reads the
// card's own pairing text off the picture of the whole panel.
TEST_F(PanelPictures, ThePairingCardReadsBackAsItsPairingText) {
    PanelModel m = richModel();
    m.linkState = LinkState::Ready;
    m.streaming = false;
    m.updater.state = 0;
    m.wifi = true;
    m.phones = {{"key-a", "Pixel 8", true, false}};
    WifiState& w = m.wifiState;
    w.cardOpen = true;
    w.step = WifiStep::Looking;
    w.pairingText = "WIFI:T:ADB;S:tovenmar-7fk2q9xw3a;P:Hq8zM2c4W1pR5t0K;;";
    w.status = "Scan this code with the phone, or pick a phone below.";
    w.offers = {{"adb-R5CT200-AbCdEf", "192.168.1.21:37123"}};
    w.remembered = {{"R5CT100", "Google Pixel 6", "192.168.1.20:40001", "", true}};
    view->state().page = Page::Settings;
    for (float dpi : {96.0f, 144.0f}) {
        BitmapCanvas c;
        ASSERT_TRUE(c.create(1060, 760, dpi));
        view->setModel(m);
        view->build(1060, 760, 0);
        ASSERT_TRUE(c.render(*painter, view->drawList()));
        const std::wstring file =
            L"panel-pairing-card-" + std::to_wstring(static_cast<int>(dpi)) + L".png";
        ASSERT_TRUE(c.savePng(file));
        tov::test::QrReading r = tov::test::readQrCodes(file);
        EXPECT_TRUE(r.ran) << r.error;
        EXPECT_EQ(r.text, w.pairingText) << dpi << " " << r.error;
    }
}

TEST(PanelText, DirectWriteMeasuresAndWraps) {
    ComScope com;
    TextFormats formats;
    ASSERT_TRUE(formats.create());
    DWriteMeasurer m(formats);
    std::wstring s = L"Whatever you copy on this PC can be pasted on the phone.";
    SizeF line = m.measure(s, Font::Text13, 10000, false);
    SizeF wrapped = m.measure(s, Font::Text13, 120, true);
    EXPECT_GT(line.width, 200);
    EXPECT_GT(line.height, 10);
    EXPECT_LE(wrapped.width, 120.5f);
    EXPECT_GE(wrapped.height, line.height * 2.5f);
    EXPECT_GT(m.measure(s, Font::Display24, 10000, false).width, line.width);
}

// The real window, driven through its procedure.
struct WindowRun {
    Recorded rec;
    int builds = 0;
    PanelModel model = connectedModel();
    Panel panel;

    bool create() {
        return panel.create(
            GetModuleHandleW(nullptr), SW_SHOWNORMAL,
            [this] {
                ++builds;
                return model;
            },
            recordingCallbacks(rec));
    }
    // Handles what is queued now. The timers are left out: a software-drawn paint under Wine
    // can take longer than the animation's period, and the queue would never run dry.
    void pump() {
        MSG msg;
        for (int i = 0; i < 100 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (msg.message == WM_QUIT || msg.message == WM_TIMER) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (panel.window) UpdateWindow(panel.window);
    }
    float scale() const { return GetDpiForWindow(panel.window) / 96.0f; }
    void click(int h) {
        pump();
        InvalidateRect(panel.window, nullptr, FALSE);
        UpdateWindow(panel.window);
        for (const auto& r : panel.view()->regions())
            if (r.hit == h) {
                LPARAM at =
                    MAKELPARAM(static_cast<int>((r.rect.left + r.rect.right) / 2 * scale()),
                               static_cast<int>((r.rect.top + r.rect.bottom) / 2 * scale()));
                SendMessageW(panel.window, WM_LBUTTONDOWN, MK_LBUTTON, at);
                SendMessageW(panel.window, WM_LBUTTONUP, 0, at);
                return;
            }
        ADD_FAILURE() << "no region for " << h;
    }
};

TEST(PanelWindow, OpensAtItsSizeForTheDpi) {
    ComScope com;
    WindowRun run;
    ASSERT_TRUE(run.create());
    HWND w = run.panel.window;
    ASSERT_NE(w, nullptr);
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    EXPECT_EQ(std::wstring(name), L"TovenmarPanel");
    GetWindowTextW(w, name, 64);
    EXPECT_EQ(std::wstring(name), L"Tovenmar");
    UINT dpi = GetDpiForWindow(w);
    RECT client;
    GetClientRect(w, &client);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &mi);
    RECT frame{0, 0, scaleToDpi(kInitialClientWidth, dpi), scaleToDpi(kInitialClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0, dpi);
    if (frame.bottom - frame.top <= mi.rcWork.bottom - mi.rcWork.top) {
        EXPECT_EQ(client.right, scaleToDpi(kInitialClientWidth, dpi));
        EXPECT_EQ(client.bottom, scaleToDpi(kInitialClientHeight, dpi));
    }
    RECT win;
    GetWindowRect(w, &win);
    EXPECT_NEAR((win.left + win.right) / 2, (mi.rcWork.left + mi.rcWork.right) / 2, 1);
    MINMAXINFO info{};
    SendMessageW(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    RECT min{0, 0, scaleToDpi(kMinClientWidth, dpi), scaleToDpi(kMinClientHeight, dpi)};
    AdjustWindowRectExForDpi(&min, WS_OVERLAPPEDWINDOW, FALSE, 0, dpi);
    EXPECT_EQ(info.ptMinTrackSize.x, min.right - min.left);
    EXPECT_EQ(info.ptMinTrackSize.y, min.bottom - min.top);
    DestroyWindow(w);
    EXPECT_EQ(run.panel.window, nullptr);
    run.pump();
}

TEST(PanelWindow, ClicksKeysAndRefreshReachTheView) {
    ComScope com;
    WindowRun run;
    ASSERT_TRUE(run.create());
    HWND w = run.panel.window;
    run.pump();
    // A refresh with nothing new draws nothing; a change is drawn, from the model it took.
    const uint64_t paints = run.panel.paints();
    SendMessageW(w, kPanelRefreshMessage, 0, 0);
    run.pump();
    EXPECT_EQ(run.panel.paints(), paints);
    int before = run.builds;
    run.model.audio = false;
    SendMessageW(w, kPanelRefreshMessage, 0, 0);
    EXPECT_EQ(run.builds, before + 1);
    EXPECT_FALSE(run.panel.view()->model().audio);
    EXPECT_TRUE(GetUpdateRect(w, nullptr, FALSE));
    run.pump();
    EXPECT_EQ(run.panel.paints(), paints + 1);
    EXPECT_EQ(run.builds, before + 1);

    // Minimized, it takes the news but draws nothing; restored, it shows them at once.
    ShowWindow(w, SW_MINIMIZE);
    run.pump();
    ASSERT_TRUE(IsIconic(w));
    const uint64_t hidden = run.panel.paints();
    run.model.statFps = 42;
    SendMessageW(w, kPanelRefreshMessage, 0, 0);
    run.pump();
    EXPECT_EQ(run.panel.paints(), hidden);
    ShowWindow(w, SW_RESTORE);
    run.pump();
    EXPECT_GT(run.panel.paints(), hidden);
    EXPECT_EQ(run.panel.view()->model().statFps, 42);

    run.click(hit::kAudio);
    run.click(hit::kPageFirst + static_cast<int>(Page::Settings));
    EXPECT_EQ(run.panel.view()->state().page, Page::Settings);
    run.click(hit::kToPc);
    EXPECT_EQ(run.rec.calls, (std::vector<std::string>{"audio:1", "clipboard:topc=0"}));

    // F11 makes the window a borderless one over the monitor; Esc brings the frame back.
    SendMessageW(w, WM_KEYDOWN, VK_F11, MAKELPARAM(1, 0x57));
    EXPECT_TRUE(GetWindowLongPtrW(w, GWL_STYLE) & WS_POPUP);
    SendMessageW(w, WM_KEYDOWN, VK_ESCAPE, MAKELPARAM(1, 0x01));
    LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
    EXPECT_FALSE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_CAPTION);

    // Capture a shortcut through real key messages.
    run.model.shortcutTexts = {{L"Home", L"Right Alt + H"}};
    SendMessageW(w, kPanelRefreshMessage, 0, 0);
    run.click(hit::kPageFirst + static_cast<int>(Page::Shortcuts));
    run.click(hit::kShortcutFirst);
    ASSERT_TRUE(run.panel.view()->state().capture.has_value());
    SendMessageW(w, WM_KEYDOWN, 'J', MAKELPARAM(1, 0x24));
    EXPECT_EQ(run.rec.calls.back(), "shortcut:0,0,24");
    DestroyWindow(w);
    run.pump();
}

}  // namespace
}  // namespace tov::panel::test
