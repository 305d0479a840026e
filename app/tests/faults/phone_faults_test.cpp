// adb and the phone failing around the stream: adb missing or hanging, and every way an install
// can fail. The App keeps running, says what is wrong in the phone's words, switches streaming off
// where an install failed, and streams once the cause is gone; closing while adb hangs leaves no
// worker behind.
#include <dirent.h>

#include "app/tests/faults/fault_rig.h"

namespace tov::test {
namespace {

// The threads of this process (the fault tests run natively, on Linux).
int threadCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') ++count;
        }
        closedir(dir);
    }
    return count;
}

TEST_F(FaultTest, AdbMissingThenFoundAndAdbHangingThenAnswering) {
    adbPresent_ = false;
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(sim_.ok("phone p usb=R58M123ABC model=SM-G973F"));
    PanelModel model = stateWhen(LinkState::NoAdb, 10s);
    EXPECT_EQ(model.linkState, LinkState::NoAdb);
    app_->startOrStop();  // a start without adb waits for it
    EXPECT_EQ(app_->buildModel().linkState, LinkState::NoAdb);

    // adb appears (installed, or put beside the program): the phone is found and streams.
    adbPresent_ = true;
    model = stateWhen(LinkState::Live, 90s);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText << " / " << model.detail;
    EXPECT_TRUE(videoFlows(10s));

    // adb's server dies and the new one answers nothing: the change feed ends, its restart gives
    // no list and "devices -l" no answer; once the poll's time limit runs out the phone counts as
    // gone. When adb answers again the stream comes back without another press.
    ASSERT_TRUE(sim_.ok("hang devices"));
    ASSERT_TRUE(sim_.ok("hang track-devices"));
    ASSERT_TRUE(runAdb(siblingProgram(L"adb"), L"kill-server", nullptr, 10000));
    model = stateWhen(LinkState::NoDevice, 30s);
    EXPECT_EQ(model.linkState, LinkState::NoDevice);
    EXPECT_TRUE(model.streaming);
    ASSERT_TRUE(sim_.ok("nohang"));
    model = stateWhen(LinkState::Live, 90s);
    EXPECT_EQ(model.linkState, LinkState::Live) << model.statusText;
    EXPECT_TRUE(videoFlows(10s));

    stopAppKeepingUserFiles();
}

struct FailedInstall {
    const char* phoneSetting;  // for "phone p ..."
    const char* statusText;
    bool reinstallOffered;
};

TEST_F(FaultTest, EachInstallFailureStopsWithItsMessageAndAFixedPhoneStreams) {
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(sim_.ok("phone p usb=R58M123ABC model=SM-G973F app=none"));
    ASSERT_EQ(stateWhen(LinkState::Ready, 20s).linkState, LinkState::Ready);

    const FailedInstall failures[] = {
        {"app=none installFailure=INSTALL_FAILED_USER_RESTRICTED",
         "Your phone blocked the install. On Xiaomi and some others, turn on \"Install via "
         "USB\" in Developer options, then press Start stream again.",
         false},
        {"app=none installFailure=INSTALL_FAILED_ABORTED",
         "Your phone blocked the install. On Xiaomi and some others, turn on \"Install via "
         "USB\" in Developer options, then press Start stream again.",
         false},
        {"app=none installFailure=INSTALL_FAILED_INSUFFICIENT_STORAGE",
         "Couldn't install Tovenmar on your phone ([INSTALL_FAILED_INSUFFICIENT_STORAGE]).", false},
        {"app=none 'installFailure=Performing Streamed Install [broken pipe'",
         "Couldn't install Tovenmar on your phone ([broken pipe).", false},
        // Only a signature clash offers the reinstall (and the offer stays until an install
        // succeeds).
        {"installFailure=none app=foreign",
         "The Tovenmar app on your phone is signed differently, so it can't be updated. "
         "Reinstalling it removes only its own settings.",
         true},
    };
    for (const FailedInstall& failure : failures) {
        SCOPED_TRACE(failure.phoneSetting);
        ASSERT_TRUE(sim_.ok(std::string("phone p ") + failure.phoneSetting));
        // Two failures may share a message: wait for this attempt's install to be logged.
        const size_t installs = logCount("phone app: install: ");
        app_->startOrStop();
        EXPECT_TRUE(waitFor([&] { return logCount("phone app: install: ") > installs; }, 30s));
        const PanelModel model = modelWhen(
            [&](const PanelModel& m) { return !m.streaming && m.statusText == failure.statusText; },
            30s);
        EXPECT_EQ(model.statusText, failure.statusText);
        EXPECT_FALSE(model.streaming);
        EXPECT_EQ(model.reinstallOffered, failure.reinstallOffered);
        EXPECT_EQ(stateWhen(LinkState::Ready, 10s).linkState, LinkState::Ready);
        EXPECT_EQ(video_.packets.load(), 0);
    }

    // The cause gone, the next Start stream installs and streams.
    ASSERT_TRUE(sim_.ok("phone p installFailure=none app=none"));
    app_->startOrStop();
    const PanelModel model = stateWhen(LinkState::Live, 90s);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText;
    EXPECT_EQ(model.statusText, "Installed Tovenmar on your phone.");
    EXPECT_TRUE(videoFlows(10s));

    stopAppKeepingUserFiles();
}

TEST_F(FaultTest, ReinstallReplacesAnAppSignedDifferently) {
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(sim_.ok("phone p usb=R58M123ABC model=SM-G973F app=foreign"));
    ASSERT_EQ(stateWhen(LinkState::Ready, 20s).linkState, LinkState::Ready);
    app_->startOrStop();
    PanelModel model = modelWhen([](const PanelModel& m) { return m.reinstallOffered; }, 30s);
    ASSERT_TRUE(model.reinstallOffered);
    EXPECT_FALSE(model.streaming);

    app_->reinstall();
    model = stateWhen(LinkState::Live, 90s);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText;
    EXPECT_FALSE(model.reinstallOffered);
    EXPECT_TRUE(videoFlows(10s));
    bool uninstalled = false;
    for (const std::string& command : sim_.commands()) {
        uninstalled |= command.find("uninstall com.tovenmar.app") != std::string::npos;
    }
    EXPECT_TRUE(uninstalled);

    stopAppKeepingUserFiles();
}

// The phone's screen is put back first at closing; when adb hangs on it, the shut-down gives up
// on it and still ends every worker of the App, the screen-shape one included.
TEST_F(FaultTest, ClosingWhileAdbHangsOnTheScreenSizeLeavesNoWorkerBehind) {
    const int baseline = threadCount();
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(app_->setNoAppOption("matchphone", "1"));
    ASSERT_TRUE(app_->setNoAppOption("ratio", "16:9"));
    streamFromPhone();
    const PanelModel model = modelWhen(
        [](const PanelModel& m) { return m.shapeText.rfind("Phone set to 1080x1920", 0) == 0; },
        20s);
    ASSERT_EQ(model.shapeText.rfind("Phone set to 1080x1920", 0), 0u) << model.shapeText;

    ASSERT_TRUE(sim_.ok("hang shell wm size"));
    app_->shutdown();
    EXPECT_EQ(threadCount(), baseline);
    ASSERT_TRUE(sim_.ok("nohang"));
    app_.reset();
}

}  // namespace
}  // namespace tov::test
