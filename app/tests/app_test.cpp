// The App's wiring with stand-ins for the Windows pieces and a scripted adb: the handlers, the
// setter family, the input settings, shortcuts, the model build and the settings it saves.
#include "app/app.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ini.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using namespace std::chrono_literals;

struct VideoRecord {
    std::mutex lock;
    int resets = 0;
    std::vector<bool> shows;
    bool deviceMode = false;
    bool capturePossible = false;
    bool created = false;
    bool failCreate = false;
};

class FakeVideo final : public VideoPort {
  public:
    FakeVideo(VideoRecord& record, VideoEvents events) : r_(record), events(std::move(events)) {}
    bool create(std::string& errorText) override {
        if (r_.failCreate) {
            errorText = "Could not create the video window.";
            return false;
        }
        r_.created = true;
        return true;
    }
    void destroy() override {}
    void show(bool visible) override {
        std::lock_guard<std::mutex> lock(r_.lock);
        r_.shows.push_back(visible);
    }
    void setOnTop(bool) override {}
    bool hevcUsable() const override { return false; }
    void onConfig(int, int, int, int, const uint8_t*, size_t) override {}
    void onPacket(const uint8_t*, size_t, int64_t, bool) override {}
    void reset() override {
        std::lock_guard<std::mutex> lock(r_.lock);
        ++r_.resets;
    }
    void expectStream(int, int, int) override {}
    VideoStats stats() const override { return {}; }
    bool captured() const override { return false; }
    void setCapturePossible(bool possible) override { r_.capturePossible = possible; }
    void setPhoneScreen(int, int) override {}
    void setDeviceMode(bool deviceMode) override { r_.deviceMode = deviceMode; }
    void releaseCapture() override {}
    void toggleFullscreen() override {}
    void grabPicture(std::function<void(std::optional<Bitmap>)> done) override {
        done(std::nullopt);
    }

    VideoRecord& r_;
    VideoEvents events;
};

struct PanelRecord {
    std::atomic<int> refreshes{0};
    std::atomic<int> closes{0};
};

class FakePanel final : public PanelPort {
  public:
    explicit FakePanel(PanelRecord& record) : r_(record) {}
    bool create(std::function<PanelModel()>, App&) override { return true; }
    void refresh() override { ++r_.refreshes; }
    void close() override { ++r_.closes; }
    PanelRecord& r_;
};

// adb as the App's subsystems call it: no phone attached unless the test lists one.
struct ScriptedAdb {
    std::mutex lock;
    std::string devices = "List of devices attached\n\n";
    std::vector<std::wstring> calls;

    bool run(const std::wstring& args, std::string* output) {
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back(args);
        if (args == L"devices -l") {
            if (output) *output = devices;
            return true;
        }
        if (output) output->clear();
        return false;
    }
};

class AppTest : public ::testing::Test {
  protected:
    AppParts parts() {
        AppParts p;
        p.makeVideo = [this](VideoEvents events) {
            auto video = std::make_unique<FakeVideo>(video_, std::move(events));
            videoPort_ = video.get();
            return video;
        };
        p.makePanel = [this] { return std::make_unique<FakePanel>(panel_); };
        p.phoneMonitor.pollIntervalMs = 50;
        p.phoneMonitor.findAdb = [] { return std::wstring(L"adb"); };
        p.phoneMonitor.startFeed = nullptr;  // the scripted adb is polled
        p.phoneMonitor.runAdb = [this](const std::wstring&, const std::wstring& args,
                                       std::string* output,
                                       uint32_t) { return adb_.run(args, output); };
        p.installer.runAdb = p.phoneMonitor.runAdb;
        p.installer.loadPackage = [] { return std::string(); };
        p.installer.copyFolder = dir_.path();
        p.updater.firstCheck = std::chrono::hours(1);
        p.settingsPath = [this] { return dir_.file(L"settings.ini"); };
        p.shortcutsPath = [this] { return dir_.file(L"shortcuts.ini"); };
        p.tickMs = [this] { return now_.load(); };
        return p;
    }

    // The session's first passes report their states on its own thread (each one resets the video
    // and, when not live, forgets the video size), so tests start once it has settled on
    // "no device", the state it keeps while no phone is listed.
    void initSettled(App& app) {
        std::string error;
        ASSERT_TRUE(app.init(error)) << error;
        ASSERT_TRUE(
            test::waitFor([&] { return app.buildModel().linkState == LinkState::NoDevice; }));
    }

    std::string setting(const wchar_t* section, const wchar_t* key) {
        return narrow(ini::getString(dir_.file(L"settings.ini"), section, key, L"<none>", 256));
    }

    test::TempDir dir_;
    VideoRecord video_;
    FakeVideo* videoPort_ = nullptr;
    PanelRecord panel_;
    ScriptedAdb adb_;
    std::atomic<uint64_t> now_{0};
};

TEST_F(AppTest, FirstStartSavesTheSeenVersionAndShowsNoWhatsNew) {
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    const PanelModel model = app.buildModel();
    EXPECT_EQ(model.version, "1.1.0");
    EXPECT_TRUE(model.whatsNewVersion.empty());
    EXPECT_EQ(setting(L"update", L"seen"), "1.1.0");
    app.shutdown();
}

TEST_F(AppTest, AnOlderSeenVersionShowsWhatsNewUntilRead) {
    ini::writeString(dir_.file(L"settings.ini"), L"update", L"seen", L"1.0.4");
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    EXPECT_EQ(app.buildModel().whatsNewVersion, "1.1.0");
    EXPECT_EQ(setting(L"update", L"seen"), "1.0.4");

    app.whatsNewRead();
    EXPECT_TRUE(app.buildModel().whatsNewVersion.empty());
    EXPECT_EQ(setting(L"update", L"seen"), "1.1.0");
    app.shutdown();
}

TEST_F(AppTest, AVideoWindowThatCannotBeMadeFailsInitWithItsText) {
    video_.failCreate = true;
    App app(parts());
    std::string error;
    EXPECT_FALSE(app.init(error));
    EXPECT_EQ(error, "Could not create the video window.");
}

TEST_F(AppTest, SettersStoreSaveAndHandTheSessionTheirOptions) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    app.setVideo(false);
    app.setBitrate(-5);
    app.setPreset("smooth");
    const PanelModel model = app.buildModel();
    EXPECT_FALSE(model.video);
    EXPECT_EQ(model.bitrate, -5);
    EXPECT_EQ(setting(L"stream", L"video"), "0");
    EXPECT_EQ(setting(L"stream", L"preset"), "smooth");
    app.shutdown();
}

TEST_F(AppTest, APhoneReportInNoAppModeKeepsTheUsersStreamChoices) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    app.onPhoneStateReport({{"mode", "noapp"},
                            {"presetChoice", "fast"},
                            {"bitrate", "8000000"},
                            {"codecChoice", "hevc"},
                            {"maxBitrate", "9000000"},
                            {"presets", "a:A:60:1920:1080"},
                            {"codec", "hevc"},
                            {"width", "1280"},
                            {"height", "720"},
                            {"note", "hello"}});
    PanelModel model = app.buildModel();
    EXPECT_EQ(model.preset, "sharp");
    EXPECT_EQ(model.bitrate, 40000000);
    EXPECT_EQ(model.codecChoice, "auto");
    EXPECT_TRUE(model.presets.empty());
    // The values the phone reports about the running stream are taken in every mode.
    EXPECT_EQ(model.width, 1280);
    EXPECT_EQ(model.height, 720);
    EXPECT_EQ(model.note, "hello");

    // Live, so that the derived values of the model build keep what the phone app said.
    app.onLinkState(LinkState::Live, "");
    app.onPhoneStateReport({{"presetChoice", "fast"},
                            {"bitrateChoice", "12000000x"},
                            {"bitrate", "8000000"},
                            {"codecChoice", "hevc"},
                            {"vbr", "0"},
                            {"maxBitrate", "not a number"},
                            {"presets", "a:A:60:1920:1080;broken:1"}});
    model = app.buildModel();
    EXPECT_EQ(model.preset, "fast");
    EXPECT_EQ(model.bitrate, 12000000);  // trailing text is ignored
    EXPECT_EQ(model.codecChoice, "hevc");
    EXPECT_FALSE(model.vbr);
    EXPECT_EQ(model.maxBitrate, 60000000);  // unreadable: unchanged
    ASSERT_EQ(model.presets.size(), 1u);
    EXPECT_EQ(model.presets[0].width, 1920);
    app.shutdown();
}

TEST_F(AppTest, VideoTurnedOffByThePhoneResetsThePipeline) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    const auto resets = [&] {
        std::lock_guard<std::mutex> lock(video_.lock);
        return video_.resets;
    };
    const int before = resets();
    app.onPhoneStateReport({{"video", "1"}});
    EXPECT_EQ(resets(), before);
    app.onPhoneStateReport({{"video", "0"}});
    EXPECT_EQ(resets(), before + 1);
    app.shutdown();
}

TEST_F(AppTest, LeavingTheLiveStateForgetsTheVideoSize) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    app.onPhoneStateReport({{"width", "1080"}, {"height", "2400"}});
    app.onLinkState(LinkState::Live, "Pixel");
    {
        std::lock_guard<std::mutex> lock(video_.lock);
        ASSERT_FALSE(video_.shows.empty());
        EXPECT_TRUE(video_.shows.back());
    }
    EXPECT_EQ(app.buildModel().width, 1080);
    app.onLinkState(LinkState::Ready, "");
    const PanelModel model = app.buildModel();
    EXPECT_EQ(model.width, 0);
    EXPECT_EQ(model.height, 0);
    EXPECT_EQ(model.detail, "Pixel");  // an empty text keeps the last one
    app.shutdown();
}

TEST_F(AppTest, PendingPhoneTogglesApplyOnceAtTheNextBuild) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    // Live, the PC tells the phone its toggles (the first it sends, number 1); what the phone
    // reports differently once it has taken them was changed on the phone.
    app.onLinkState(LinkState::Live, "");
    app.onInputReport({{"keyboard", "0"}, {"mouse", "0"}});
    app.onInputReport({{"keyboard", "1"}, {"mouse", "1"}, {"seq", "1"}});
    app.onInputReport({{"keyboard", "0"}, {"seq", "1"}});
    app.onInputReport({{"keyboard", "1"}, {"mouse", "0"}, {"seq", "1"}});
    PanelModel model = app.buildModel();
    EXPECT_TRUE(model.keyboard);
    EXPECT_FALSE(model.mouse);
    EXPECT_EQ(setting(L"input", L"mouse"), "0");

    app.setMouse(true);
    model = app.buildModel();  // nothing pending any more
    EXPECT_TRUE(model.mouse);
    app.shutdown();
}

TEST_F(AppTest, ASetShortcutTakesItsCombinationFromAnyOtherEntry) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    const Shortcuts defaults = shortcuts::defaults();
    const ShortcutEntry home = defaults.entries[kShortcutHome];
    ASSERT_NE(home.key, 0);

    app.setShortcut(kShortcutBack, home.modifiers, home.key);
    Shortcuts saved = shortcuts::defaults();
    shortcuts::loadFrom(dir_.file(L"shortcuts.ini"), saved);
    EXPECT_EQ(saved.entries[kShortcutHome].key, 0);
    EXPECT_EQ(saved.entries[kShortcutBack], home);

    app.setShortcut(kShortcutCount, 0, 0x1E);  // outside the table: nothing changes
    app.setShortcut(-1, 0, 0);                 // key 0 leaves the Tovenmar key
    Shortcuts again = shortcuts::defaults();
    shortcuts::loadFrom(dir_.file(L"shortcuts.ini"), again);
    EXPECT_EQ(again, saved);

    app.resetShortcuts();
    Shortcuts reset;
    shortcuts::loadFrom(dir_.file(L"shortcuts.ini"), reset);
    EXPECT_EQ(reset, defaults);
    app.shutdown();
}

TEST_F(AppTest, ClipboardOptionsOnlyTakeTheirFourKeys) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    app.setClipboardOption("pictures", true);
    app.setClipboardOption("tophone", false);
    app.setClipboardOption("unknown", false);
    const PanelModel model = app.buildModel();
    EXPECT_TRUE(model.pictures);
    EXPECT_FALSE(model.toPhone);
    EXPECT_TRUE(model.toPc);
    EXPECT_EQ(setting(L"clipboard", L"pictures"), "1");
    app.shutdown();
}

TEST_F(AppTest, TheBitrateMeterReportsOnlyClosedWindows) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    now_ = 5000;
    EXPECT_EQ(app.buildModel().rateMbps, 0.0);  // the first window started at 0
    app.shutdown();
}

TEST_F(AppTest, RestartNowAsksThePanelToCloseAndMarksTheInstall) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    EXPECT_FALSE(app.installOnExit());
    app.restartNow();
    EXPECT_TRUE(app.installOnExit());
    EXPECT_EQ(panel_.closes.load(), 1);
    app.shutdown();
}

TEST_F(AppTest, TheSeveralPhonesChoicesAreKeptAndSaved) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    app.setSoundFromAll(true);
    app.setEveryPhone(true);
    const PanelModel model = app.buildModel();
    EXPECT_TRUE(model.soundFromAll);
    EXPECT_TRUE(model.everyPhone);
    EXPECT_EQ(setting(L"stream", L"soundfromall"), "1");
    EXPECT_EQ(setting(L"input", L"everyphone"), "1");
    app.shutdown();
}

TEST_F(AppTest, DeviceModeReachesTheVideoWindowAndIsSaved) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    app.setDeviceMode(true);
    EXPECT_TRUE(video_.deviceMode);
    EXPECT_EQ(setting(L"input", L"device"), "1");
    app.shutdown();
}

}  // namespace
}  // namespace tov

namespace tov {
namespace {

TEST_F(AppTest, APhoneReportRepeatingTheTogglesIsNotAppliedAgain) {
    App app(parts());
    ASSERT_NO_FATAL_FAILURE(initSettled(app));
    // The phone answers every toggle message with its state; taking an unchanged state as a
    // change would send the toggles again and save, for ever.
    const int before = panel_.refreshes.load();
    app.onInputReport({{"keyboard", "1"}, {"mouse", "1"}});
    ASSERT_TRUE(std::remove(narrow(dir_.file(L"settings.ini")).c_str()) == 0);
    app.buildModel();
    EXPECT_EQ(setting(L"input", L"keyboard"), "<none>");  // nothing was saved
    EXPECT_GE(panel_.refreshes.load(), before + 1);       // the report itself refreshes
    app.shutdown();
}

}  // namespace
}  // namespace tov
