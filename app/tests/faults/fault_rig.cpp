#include "app/tests/faults/fault_rig.h"

#include <thread>

#include "core/log.h"
#include "core/settings_file.h"
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
    return standInParts(video_, videoPort_, dir_, package_, &adbPresent_);
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
    return test::modelWhen(*app_, done, limit);
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
