// The Windows side of the mouse and key translation on a real window (under Wine on Linux).
#include "input/video_input_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "input/key_tables.h"
#include "input/keyboard_layout.h"

namespace tov {
namespace {

struct Touch {
    TouchAction action;
    uint8_t pointer;
    float x, y;
};

class VideoInputWin : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TovenmarInputTest";
        RegisterClassW(&wc);
        RECT r{0, 0, 400, 800};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        window = CreateWindowW(L"TovenmarInputTest", L"input test", WS_OVERLAPPEDWINDOW, 50, 50,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance,
                               nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        RECT client{};
        GetClientRect(window, &client);
        ASSERT_EQ(client.right, 400);
        ASSERT_EQ(client.bottom, 800);

        MouseTargets m;
        m.touch = [this](TouchAction a, uint8_t p, float x, float y) {
            touches.push_back({a, p, x, y});
        };
        m.scroll = [this](float, float, float h, float v) { scrolls.push_back({h, v}); };
        m.pressKey = [this](int32_t code) { pressed.push_back(code); };
        m.mouseMotion = [this](uint8_t b, int32_t, int32_t, int32_t, int32_t) {
            motions.push_back(b);
        };
        m.captureChanged = [this](bool on) { captures.push_back(on); };
        KeyTargets k;
        k.forwarding = [] { return true; };
        k.pressKey = [this](int32_t code) { pressed.push_back(code); };
        k.androidKey = [this](bool, int32_t code, int32_t meta, uint32_t) {
            android.push_back({code, meta});
        };
        input = std::make_unique<VideoWindowInput>([this] { return window; },
                                                   [] {
                                                       return PictureSize{200, 400};
                                                   },
                                                   m, k);
        input->mouse().setMouseInput(true);
    }
    void TearDown() override {
        input.reset();
        ClipCursor(nullptr);
        DestroyWindow(window);
    }
    bool send(UINT message, WPARAM wParam, int x, int y) {
        return input->onWindowMessage(message, wParam, MAKELPARAM(x, y));
    }

    HWND window = nullptr;
    std::unique_ptr<VideoWindowInput> input;
    std::vector<Touch> touches;
    std::vector<std::pair<float, float>> scrolls;
    std::vector<int32_t> pressed;
    std::vector<uint8_t> motions;
    std::vector<bool> captures;
    std::vector<std::pair<int32_t, int32_t>> android;
};

TEST_F(VideoInputWin, ClicksBecomeTouchesAtPictureFractions) {
    EXPECT_TRUE(send(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 100, 200));
    EXPECT_EQ(GetCapture(), window);
    EXPECT_TRUE(send(WM_MOUSEMOVE, MK_LBUTTON, 500, 400));  // beyond the right edge
    EXPECT_TRUE(send(WM_LBUTTONUP, 0, 200, 400));
    EXPECT_NE(GetCapture(), window);
    ASSERT_EQ(touches.size(), 6u);
    EXPECT_FLOAT_EQ(touches[0].x, 0.25f);
    EXPECT_FLOAT_EQ(touches[0].y, 0.25f);
    EXPECT_EQ(touches[1].pointer, 1);
    EXPECT_FLOAT_EQ(touches[1].x, 0.75f);
    EXPECT_FLOAT_EQ(touches[2].x, 1.0f);
    EXPECT_EQ(touches[4].action, TouchAction::Up);
    EXPECT_FLOAT_EQ(touches[4].x, 0.5f);
    EXPECT_TRUE(send(WM_RBUTTONDOWN, MK_RBUTTON, 10, 10));
    EXPECT_TRUE(send(WM_MBUTTONDOWN, MK_MBUTTON, 10, 10));
    EXPECT_EQ(pressed, (std::vector<int32_t>{4, 3}));
}

TEST_F(VideoInputWin, WheelPointsAreScreenCoordinates) {
    POINT p{200, 400};
    ClientToScreen(window, &p);
    EXPECT_TRUE(send(WM_MOUSEWHEEL, MAKEWPARAM(0, 60), p.x, p.y));
    EXPECT_TRUE(send(WM_MOUSEHWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), p.x, p.y));
    POINT outside{200, 900};
    ClientToScreen(window, &outside);
    EXPECT_FALSE(send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), outside.x, outside.y));
    ASSERT_EQ(scrolls.size(), 2u);
    EXPECT_EQ(scrolls[0], (std::pair<float, float>{0.0f, 0.5f}));
    EXPECT_EQ(scrolls[1], (std::pair<float, float>{-1.0f, 0.0f}));
}

TEST_F(VideoInputWin, DeviceModeCapturesClipsAndLetsGoOnFocusLoss) {
    input->mouse().setDeviceMode(true);
    ASSERT_TRUE(send(WM_LBUTTONDOWN, MK_LBUTTON, 200, 400));
    ASSERT_TRUE(input->mouse().captured());
    EXPECT_EQ(captures, (std::vector<bool>{true}));
    RECT clip{};
    GetClipCursor(&clip);
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_EQ(clip.left, client.left);
    EXPECT_EQ(clip.bottom, client.bottom);
    EXPECT_TRUE(input->onWindowMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_FALSE(input->onWindowMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                                        MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)));
    EXPECT_TRUE(send(WM_RBUTTONDOWN, MK_RBUTTON, 10, 10));  // swallowed
    EXPECT_TRUE(pressed.empty());
    input->mouse().onRawInput({false, 0, 0, raw_button::kLeftDown, 0});
    input->onWindowMessage(WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(input->mouse().captured());
    EXPECT_EQ(captures, (std::vector<bool>{true, false}));
    EXPECT_EQ(motions, (std::vector<uint8_t>{1, 0}));  // the held button let go on the phone
    GetClipCursor(&clip);
    EXPECT_NE(clip.bottom, client.bottom);
}

TEST_F(VideoInputWin, RawMouseRecordsAndKeyboardState) {
    RAWMOUSE record{};
    record.usFlags = MOUSE_MOVE_RELATIVE;
    record.lLastX = -7;
    record.lLastY = 9;
    record.usButtonFlags = RI_MOUSE_WHEEL | RI_MOUSE_LEFT_BUTTON_DOWN;
    record.usButtonData = static_cast<USHORT>(-120);
    RawMouse raw = rawMouseFromRecord(record);
    EXPECT_FALSE(raw.absolute);
    EXPECT_EQ(raw.dx, -7);
    EXPECT_EQ(raw.dy, 9);
    EXPECT_EQ(raw.buttonFlags, raw_button::kWheel | raw_button::kLeftDown);
    EXPECT_EQ(raw.buttonData, -120);
    record.usFlags = MOUSE_MOVE_ABSOLUTE;
    EXPECT_TRUE(rawMouseFromRecord(record).absolute);
    // The portable flag values are Windows' own.
    EXPECT_EQ(raw_button::kButton5Up, RI_MOUSE_BUTTON_5_UP);
    EXPECT_EQ(raw_button::kHWheel, RI_MOUSE_HWHEEL);

    BYTE keys[256] = {};
    keys[VK_RMENU] = 0x80;
    keys[VK_LSHIFT] = 0x80;
    keys[VK_CAPITAL] = 0x01;
    ASSERT_TRUE(SetKeyboardState(keys));
    const KeyboardState state = currentKeyboardState();
    EXPECT_EQ(state.modifiers, kRightAlt | kLeftShift);
    EXPECT_TRUE(state.capsLockOn);
    EXPECT_FALSE(state.numLockOn);

    EXPECT_TRUE(input->onKey(true, 'A', 0x001E0001));
    ASSERT_EQ(android.size(), 1u);
    EXPECT_EQ(android[0], (std::pair<int32_t, int32_t>{29, 0x41 | 0x100000}));  // no Right Alt
    keys[VK_LSHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_TRUE(input->onKey(true, 'H', 0x00230001));
    EXPECT_EQ(pressed, (std::vector<int32_t>{3}));
    BYTE none[256] = {};
    SetKeyboardState(none);
}

TEST_F(VideoInputWin, KeyNamesComeFromTheLayout) {
    EXPECT_FALSE(keyName(0x1E).empty());
    EXPECT_EQ(shiftKeyFromScan(0x36), static_cast<unsigned>(VK_RSHIFT));
    EXPECT_EQ(shiftKeyFromScan(0x2A), static_cast<unsigned>(VK_LSHIFT));
}

}  // namespace
}  // namespace tov
