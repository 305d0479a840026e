#include "video/video_window_win.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/log.h"
#include "platform/files.h"
#include "tests/support/test_support.h"
#include "video/tests/annexb_units.h"
#include "video/tests/message_pump_win.h"
#include "video/video_renderer_win.h"

namespace tov {
namespace {

using test::pumpFor;
using test::pumpUntil;

Size clientSize(HWND w) {
    RECT r{};
    GetClientRect(w, &r);
    return {r.right - r.left, r.bottom - r.top};
}

class VideoWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        openLog();
        VideoWindowCallbacks cb;
        cb.closed = [this] { ++closed; };
        cb.key = [this](bool down, unsigned vk, int64_t) {
            if (down) keys.push_back(vk);
            return takeKeys.load();
        };
        cb.mouse = [this](uint32_t message, uint64_t, int64_t) {
            if (message == WM_LBUTTONDBLCLK) ++doubleClicks;
            return mouseTaken.load();
        };
        cb.keyFrameWanted = [this] { ++keyFrames; };
        cb.filesDropped = [this](std::vector<std::wstring> paths) { dropped = std::move(paths); };
        window = std::make_unique<VideoWindow>(cb);
        std::wstring error;
        ASSERT_TRUE(window->create(GetModuleHandleW(nullptr), error))
            << std::string(error.begin(), error.end());
        hwnd = window->window();
    }
    void TearDown() override { window.reset(); }

    std::string log() {
        std::string s;
        readFile(dir.path() + L"\\Tovenmar\\tovenmar.log", s);
        return s;
    }
    int count(const std::string& text) {
        const std::string s = log();
        int n = 0;
        for (size_t at = s.find(text); at != std::string::npos; at = s.find(text, at + 1)) ++n;
        return n;
    }
    MONITORINFO monitor() {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi);
        return mi;
    }

    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    std::unique_ptr<VideoWindow> window;
    HWND hwnd = nullptr;
    std::atomic<int> closed{0};
    std::atomic<int> doubleClicks{0};
    std::atomic<int> keyFrames{0};
    std::atomic<bool> takeKeys{false};
    std::atomic<bool> mouseTaken{false};
    std::vector<unsigned> keys;
    std::vector<std::wstring> dropped;
};

TEST_F(VideoWindowTest, StartsHiddenAndClosingOnlyHides) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    EXPECT_EQ(std::wstring(name), L"TovenmarVideo");
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    EXPECT_EQ(std::wstring(title), L"Tovenmar \u2014 Video");
    EXPECT_FALSE(IsWindowVisible(hwnd));

    window->show(true);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(closed, 1);
    window->show(true);
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
}

TEST_F(VideoWindowTest, F11AndEscapeAndDoubleClickDriveFullscreen) {
    window->show(true);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
    const Size windowed = clientSize(hwnd);

    SendMessageW(hwnd, WM_KEYDOWN, VK_F11, 0);
    ASSERT_TRUE(window->isFullscreen());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & WS_CAPTION, 0u);
    const RECT m = monitor().rcMonitor;
    EXPECT_EQ(clientSize(hwnd), (Size{m.right - m.left, m.bottom - m.top}));
    EXPECT_TRUE(keys.empty());  // F11 is the window's own

    takeKeys = true;  // a shortcut took Escape: stay
    SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(window->isFullscreen());
    takeKeys = false;
    SendMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(window->isFullscreen());
    EXPECT_EQ(keys, (std::vector<unsigned>{VK_ESCAPE, VK_ESCAPE}));
    EXPECT_EQ(clientSize(hwnd), windowed);
    EXPECT_NE(static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & WS_CAPTION, 0u);

    // Without an input side taking it, a double click toggles fullscreen.
    SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_TRUE(window->isFullscreen());
    mouseTaken = true;
    SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_TRUE(window->isFullscreen());
    EXPECT_EQ(doubleClicks, 2);

    // Closing in fullscreen leaves it first.
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(window->isFullscreen());
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(VideoWindowTest, FilesDroppedFromExplorerArriveAsTheirPaths) {
    // Explorer drops only on a window that accepts files.
    EXPECT_NE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    const std::vector<std::wstring> paths = {L"C:\\users\\me\\ph\u00f6to.jpg",
                                             L"C:\\a b\\game.apk"};
    // The block Explorer hands over: DROPFILES, then the paths, each ended by a NUL, and a NUL.
    std::wstring list;
    for (const std::wstring& path : paths) list += path + L'\0';
    list += L'\0';
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    ASSERT_NE(block, nullptr);
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    ASSERT_TRUE(PostMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0));
    ASSERT_TRUE(pumpUntil([&] { return !dropped.empty(); }));
    EXPECT_EQ(dropped, paths);
}

TEST_F(VideoWindowTest, ReshapeGivesTheStreamsShapeCentredOnTheWorkArea) {
    const RECT work = monitor().rcWork;
    const Size workSize{work.right - work.left, work.bottom - work.top};
    for (const Size stream : {Size{1080, 2400}, Size{2400, 1080}}) {
        SendMessageW(hwnd, VideoWindow::kReshapeMessage, stream.width, stream.height);
        const Size client = clientSize(hwnd);
        EXPECT_EQ(client, shapeClientSize(stream, workSize));
        RECT outer{};
        GetWindowRect(hwnd, &outer);
        EXPECT_NEAR((outer.left + outer.right) / 2.0, (work.left + work.right) / 2.0, 1.0);
        EXPECT_NEAR((outer.top + outer.bottom) / 2.0, (work.top + work.bottom) / 2.0, 1.0);
    }
    // Nonsense sizes leave the window alone.
    const Size before = clientSize(hwnd);
    SendMessageW(hwnd, VideoWindow::kReshapeMessage, 0, 100);
    EXPECT_EQ(clientSize(hwnd), before);
}

TEST_F(VideoWindowTest, ExpectedPhoneSizeShapesTheWindowUntilAStreamIsKnown) {
    const RECT work = monitor().rcWork;
    const Size workSize{work.right - work.left, work.bottom - work.top};
    window->setExpectedSize(2400, 1080);
    pumpFor(50);
    EXPECT_EQ(clientSize(hwnd), shapeClientSize({2400, 1080}, workSize));
    window->setExpectedSize(1080, 2400);  // turned
    pumpFor(50);
    EXPECT_EQ(clientSize(hwnd), shapeClientSize({1080, 2400}, workSize));
    EXPECT_EQ(window->expectedSize(), (Size{1080, 2400}));
}

// Only the user's own move or resize marks the window as theirs; a later reshape then leaves it
// where they put it, while the program's own placing never counts as the user's.
TEST_F(VideoWindowTest, AWindowTheUserMovedStaysThereWhenReshaped) {
    SendMessageW(hwnd, VideoWindow::kReshapeMessage, 1080, 2400);
    EXPECT_FALSE(window->userPlacement());
    window->placeAt({10, 20, 310, 620});
    EXPECT_FALSE(window->userPlacement());
    EXPECT_FALSE(UserPlacement::isMarked(hwnd));

    // The move loop a drag of the caption runs.
    const Rect moved{100, 50, 400, 650};
    SendMessageW(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(hwnd, nullptr, moved.left, moved.top, moved.width(), moved.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd, WM_EXITSIZEMOVE, 0, 0);
    ASSERT_EQ(window->userPlacement(), moved);
    // Seen by code that holds only the window (the layout reads the panel's mark so).
    EXPECT_TRUE(UserPlacement::isMarked(hwnd));

    SendMessageW(hwnd, VideoWindow::kReshapeMessage, 1080, 2400);
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ((Rect{outer.left, outer.top, outer.right, outer.bottom}), moved);
}

TEST_F(VideoWindowTest, ThePhoneClipPlaysThroughTheWholeWindow) {
    std::string clip;
    ASSERT_TRUE(readFile(test::sourceFile("tests/media/phone_h264_320x640.h264"), clip));
    const test::SplitStream stream = test::splitH264(clip, true);
    window->show(true);
    window->onConfig(320, 640, 30, 0, stream.csd.data(), stream.csd.size());
    // Opening and the first decode set up a whole decoder (slow under Wine); a phone's packets
    // would pile up behind them and be thrown away for the next key frame. Here they wait for
    // it, and then come at the phone's own pace.
    ASSERT_TRUE(pumpUntil([&] { return log().find("decoder: open") != std::string::npos; }));
    for (size_t i = 0; i < stream.units.size(); ++i) {
        const auto& u = stream.units[i];
        window->onPacket(u.bytes.data(), u.bytes.size(), static_cast<int64_t>(i) * 33333, u.key);
        pumpFor(i == 0 ? 300 : 33);
    }
    // Every packet decoded: the per-second lines add up to the whole clip (but for the last
    // picture, which a decoder with one picture of delay still holds).
    const std::regex decodedField("video: rx \\d+, decoded (\\d+)");
    auto decodedSoFar = [&] {
        const std::string text = log();
        int sum = 0;
        for (std::sregex_iterator it(text.begin(), text.end(), decodedField), end; it != end;
             ++it) {
            sum += std::stoi((*it)[1]);
        }
        return sum;
    };
    ASSERT_TRUE(pumpUntil([&] { return decodedSoFar() >= 89; })) << log();
    EXPECT_LE(decodedSoFar(), 90);
    EXPECT_EQ(window->snapshot().received, 90);
    EXPECT_EQ(keyFrames, 0);
    EXPECT_EQ(window->streamSize(), (Size{320, 640}));
    const std::string text = log();
    EXPECT_NE(text.find("video: config 320x640 @30, csd "), std::string::npos);
    EXPECT_NE(text.find("decoder: open H.264 320x640 @30, "), std::string::npos);
    EXPECT_NE(text.find("render: back buffer "), std::string::npos);
    // The first config gave the window the stream's portrait shape, and the phone's screen shape,
    // asked for before the stream was known but handled after, does not take it back.
    const Size client = clientSize(hwnd);
    EXPECT_LT(client.width, client.height);
    SendMessageW(hwnd, VideoWindow::kPhoneShapeMessage, 1080, 2400);
    EXPECT_EQ(clientSize(hwnd), client);

    // A reset goes back to no stream.
    window->reset();
    ASSERT_TRUE(pumpUntil([&] { return window->streamSize().width == 0; }));
    EXPECT_EQ(window->snapshot().received, 0);
}

// Each colour clip's picture, read as a screenshot reads it, against ffmpeg's decode of the same
// picture (kept beside the clip): within 4 levels per channel in the middle of every patch.
TEST_F(VideoWindowTest, ColoursAreShownAsTheStreamTellsThem) {
    window->show(true);
    const char* const clips[] = {"colour_bt601_limited", "colour_bt601_full",
                                 "colour_bt709_limited", "colour_bt709_full", "colour_untagged"};
    int played = 0;
    for (const char* name : clips) {
        SCOPED_TRACE(name);
        const std::string base = std::string("tests/media/") + name;
        std::string clip;
        std::string reference;
        ASSERT_TRUE(readFile(test::sourceFile((base + ".h264").c_str()), clip));
        ASSERT_TRUE(readFile(test::sourceFile((base + ".txt").c_str()), reference));
        const test::SplitStream stream = test::splitH264(clip, true);
        window->reset();
        window->onConfig(320, 640, 30, 0, stream.csd.data(), stream.csd.size());
        ++played;
        // As a phone would, after the decoder is open (packets behind a slow open pile up and
        // are thrown away for the next key frame) and at its own pace.
        ASSERT_TRUE(pumpUntil([&] { return count("decoder: open") >= played; })) << log();
        for (size_t i = 0; i < stream.units.size(); ++i) {
            const auto& u = stream.units[i];
            window->onPacket(u.bytes.data(), u.bytes.size(), static_cast<int64_t>(i) * 33333,
                             u.key);
            pumpFor(33);
        }
        // Every picture of a clip is the same; any one of this clip's will do.
        ASSERT_TRUE(pumpUntil([&] { return count("video: first picture shown") >= played; }))
            << log();
        std::optional<Bitmap> picture;
        std::atomic<bool> grabbed{false};
        window->grabPicture([&](std::optional<Bitmap> p) {
            picture = std::move(p);
            grabbed = true;
        });
        ASSERT_TRUE(pumpUntil([&] { return grabbed.load(); }));
        ASSERT_TRUE(picture);
        ASSERT_EQ(picture->width, 320u);
        ASSERT_EQ(picture->height, 640u);
        std::istringstream lines(reference);
        int x = 0, y = 0, r = 0, g = 0, b = 0;
        int patches = 0;
        while (lines >> x >> y >> r >> g >> b) {
            const size_t at = (static_cast<size_t>(y) * picture->width + x) * 4;
            const auto channel = [&](int i) {
                return static_cast<uint8_t>(picture->pixels[at + i]);
            };
            const int gotR = channel(2), gotG = channel(1), gotB = channel(0);
            EXPECT_TRUE(std::abs(gotR - r) <= 4 && std::abs(gotG - g) <= 4 &&
                        std::abs(gotB - b) <= 4)
                << "at " << x << "," << y << ": " << gotR << " " << gotG << " " << gotB
                << ", ffmpeg " << r << " " << g << " " << b;
            ++patches;
        }
        EXPECT_EQ(patches, 8);
    }
}

}  // namespace
}  // namespace tov
