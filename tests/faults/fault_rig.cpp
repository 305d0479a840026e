#include "tests/faults/fault_rig.h"

#include <thread>

#include "app/log.h"
#include "app/settings_file.h"
#include "input/shortcuts.h"
#include "platform/files.h"
#include "platform/text.h"

namespace tov::test {

namespace {

const std::string kPackage = TOV_TEST_MEDIA_DIR "/phone-app-stand-in.apk";

}  // namespace

void FaultTest::SetUp() {
    localAppData_ = std::make_unique<ScopedEnv>(L"LOCALAPPDATA", dir_.path());
    openLog();
    ASSERT_TRUE(readFile(widen(kPackage), package_));
    std::string error;
    ASSERT_TRUE(sim_.start("", &error)) << error;
}

void FaultTest::TearDown() {
    if (app_) app_->shutdown();
    app_.reset();
    sim_.stop();
}

AppParts FaultTest::parts() {
    AppParts p;
    p.makeVideo = [this](VideoEvents events) {
        auto video = std::make_unique<CountingVideoPort>(video_, std::move(events));
        videoPort_ = video.get();
        return video;
    };
    p.makePanel = [] { return std::make_unique<NullPanelPort>(); };
    const std::wstring adb = siblingProgram(L"adb");
    p.phoneMonitor.findAdb = [this, adb] { return adbPresent_ ? adb : std::wstring(); };
    p.installer.loadPackage = [this] { return package_; };
    p.installer.copyFolder = dir_.path();
    p.updater.firstCheck = std::chrono::hours(1);
    p.settingsPath = [this] { return dir_.file(L"settings.ini"); };
    p.shortcutsPath = [this] { return dir_.file(L"shortcuts.ini"); };
    return p;
}

bool FaultTest::startApp() {
    app_ = std::make_unique<App>(parts());
    std::string error;
    if (!app_->init(error)) {
        ADD_FAILURE() << error;
        return false;
    }
    app_->setBitrate(kUserBitrate);
    app_->setSpeed(kUserSpeed);
    app_->setShortcut(kShortcutHome, kUserHomeModifiers, kUserHomeKey);
    return true;
}

void FaultTest::stopAppKeepingUserFiles() {
    ASSERT_TRUE(app_);
    app_->shutdown();
    app_.reset();

    PanelModel saved;
    SettingsExtras extras;
    readSettings(dir_.file(L"settings.ini"), saved, extras);
    EXPECT_EQ(saved.bitrate, kUserBitrate);
    EXPECT_FLOAT_EQ(saved.speed, kUserSpeed);
    Shortcuts table = shortcuts::defaults();
    shortcuts::loadFrom(dir_.file(L"shortcuts.ini"), table);
    EXPECT_EQ(table.entries[kShortcutHome], (ShortcutEntry{kUserHomeModifiers, kUserHomeKey}));
    EXPECT_EQ(table.entries[kShortcutBack], shortcuts::defaults().entries[kShortcutBack]);
}

PanelModel FaultTest::modelWhen(const std::function<bool(const PanelModel&)>& done,
                                std::chrono::milliseconds limit) {
    PanelModel model;
    waitFor(
        [&] {
            model = app_->buildModel();
            return done(model);
        },
        limit);
    return model;
}

PanelModel FaultTest::stateWhen(LinkState state, std::chrono::milliseconds limit) {
    return modelWhen([state](const PanelModel& m) { return m.linkState == state; }, limit);
}

void FaultTest::streamFromPhone() {
    ASSERT_TRUE(sim_.ok("phone p usb=R58M123ABC model=SM-G973F"));
    ASSERT_EQ(stateWhen(LinkState::Ready, 20s).linkState, LinkState::Ready);
    app_->startOrStop();
    const PanelModel model = stateWhen(LinkState::Live, 90s);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText << " / " << model.detail << "\n"
                                                << logText();
    ASSERT_TRUE(videoFlows(10s));
}

bool FaultTest::videoFlows(std::chrono::milliseconds limit) {
    const int before = video_.packets;
    return waitFor([&] { return video_.packets > before + 5; }, limit);
}

std::string FaultTest::logText() const {
    std::string text;
    readFile(dir_.file(L"Tovenmar") + L"/tovenmar.log", text);
    return text;
}

size_t FaultTest::logCount(const std::string& part) const {
    const std::string text = logText();
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace tov::test
