// The screenshot shortcut through the whole App under Wine, with the real video window and the
// real picture port: Right Alt + C in the video window saves the picture on screen as a PNG of the
// stream's size and puts it on the clipboard; with no picture it says so.
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>
#include <objbase.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>

#include "app/app.h"
#include "app/app_parts_win.h"
#include "app/tests/app_stand_ins.h"
#include "clipboard/wic_coder_win.h"
#include "platform/files.h"
#include "tests/support/test_support.h"
#include "video/tests/annexb_units.h"
#include "video/tests/message_pump_win.h"

namespace tov {
namespace {

// The App's start-up under Wine is slow: a minute before giving up.
bool pumpUntil(const std::function<bool()>& done) {
    return test::pumpUntil(done, std::chrono::seconds(60));
}
using test::pumpFor;

class AppScreenshotTest : public ::testing::Test {
  protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }

    AppParts parts() {
        AppParts p;
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        p.makeVideo = [this, instance](VideoEvents events) {
            auto port = makeVideoPortWin(instance, std::move(events));
            video_ = port.get();
            return port;
        };
        p.makePanel = [] { return std::make_unique<test::NullPanelPort>(); };
        p.makePictures = [] { return makePicturePortWin(); };
        p.phoneMonitor.findAdb = [] { return std::wstring(); };
        p.installer.loadPackage = [] { return std::string(); };
        p.installer.copyFolder = dir_.path();
        p.updater.firstCheck = std::chrono::hours(1);
        p.settingsPath = [this] { return dir_.file(L"settings.ini"); };
        p.shortcutsPath = [this] { return dir_.file(L"shortcuts.ini"); };
        p.screenshotPath = [this](const std::wstring&) { return dir_.file(L"shot.png"); };
        return p;
    }

    // The default screenshot binding, Right Alt + C, as the window gets it.
    static void pressShortcut(HWND window) {
        BYTE keys[256] = {};
        keys[VK_MENU] = keys[VK_RMENU] = 0x80;
        ASSERT_TRUE(SetKeyboardState(keys));
        const LPARAM down = 1 | (0x2E << 16) | (1 << 29);
        SendMessageW(window, WM_SYSKEYDOWN, 'C', down);
        SendMessageW(window, WM_SYSKEYUP, 'C', down | (LPARAM{3} << 30));
        BYTE none[256] = {};
        SetKeyboardState(none);
    }

    std::string activity(App& app) { return app.buildModel().activityText; }

    test::TempDir dir_;
    test::ScopedEnv env_{L"LOCALAPPDATA", dir_.path()};
    VideoPort* video_ = nullptr;
};

TEST_F(AppScreenshotTest, TheShortcutSavesThePictureOnScreenAtTheStreamsSize) {
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    // The session settles first: its states before that reset the video.
    ASSERT_TRUE(pumpUntil([&] { return app.buildModel().linkState == LinkState::NoAdb; }));
    // This program's own: another test program running beside this one has video windows too.
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"TovenmarVideo", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == GetCurrentProcessId()) break;
    }
    ASSERT_NE(window, nullptr);

    pressShortcut(window);
    ASSERT_TRUE(pumpUntil([&] { return activity(app) == "No picture to save yet."; }))
        << activity(app);
    EXPECT_FALSE(isFile(dir_.file(L"shot.png")));

    // The phone's clip on screen.
    std::string clip;
    ASSERT_TRUE(readFile(test::sourceFile("tests/media/phone_h264_320x640.h264"), clip));
    const test::SplitStream stream = test::splitH264(clip, true);
    app.showVideo(true);
    video_->onConfig(320, 640, 30, 0, stream.csd.data(), stream.csd.size());
    pumpFor(1000);  // the decoder opens before the packets come, as with a phone
    for (size_t i = 0; i < 45; ++i) {
        const auto& u = stream.units[i];
        video_->onPacket(u.bytes.data(), u.bytes.size(), static_cast<int64_t>(i) * 33333, u.key);
        pumpFor(i == 0 ? 300 : 33);
    }
    ASSERT_TRUE(pumpUntil([&] { return video_->stats().received == 45; }));

    pressShortcut(window);
    ASSERT_TRUE(pumpUntil([&] { return activity(app).rfind("Screenshot saved to", 0) == 0; }))
        << activity(app);
    EXPECT_EQ(activity(app), "Screenshot saved to Pictures\\Tovenmar\\shot.png and copied.");
    std::string png;
    ASSERT_TRUE(readFile(dir_.file(L"shot.png"), png));
    const auto picture = WicPictureCoder().decode(png);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 320u);
    EXPECT_EQ(picture->height, 640u);
    // The test pattern, not a flat colour.
    std::set<std::string> colours;
    for (size_t at = 0; at + 4 <= picture->pixels.size(); at += 4 * 97) {
        colours.insert(picture->pixels.substr(at, 4));
    }
    EXPECT_GT(colours.size(), 20u);

    // The same picture is on the clipboard.
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE dib = GetClipboardData(CF_DIB);
    ASSERT_NE(dib, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 320);
    EXPECT_EQ(header->biHeight, 640);
    GlobalUnlock(dib);
    CloseClipboard();
    app.shutdown();
}

}  // namespace
}  // namespace tov
