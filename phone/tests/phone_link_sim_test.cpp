// The phone link against the phone simulator, with the real adb runner and the adb stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "core/log.h"
#include "phone/adb_runner.h"
#include "phone/app_installer.h"
#include "phone/file_sender.h"
#include "phone/phone_info_probe.h"
#include "phone/phone_monitor.h"
#include "phone/screen_shape.h"
#include "phone/tests/sim_daemon.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

const char* const kWireless = "adb-R58M123ABC-AbCdEf._adb-tls-connect._tcp";

class PhoneLinkSim : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    test::SimDaemon sim;
    std::unique_ptr<PhoneMonitor> monitor;
    std::unique_ptr<AppInstaller> installer;
    const std::string package = std::string("PK\x03\x04", 4) + " the phone app, as carried";

    void SetUp() override {
        openLog();
        PhoneMonitor::Options options;
        options.findAdb = [] { return test::simAdb(); };
        monitor = std::make_unique<PhoneMonitor>(options);
        AppInstaller::Options installerOptions;
        installerOptions.loadPackage = [this] { return package; };
        installerOptions.copyFolder = dir.file(L"copy");
        installer = std::make_unique<AppInstaller>(installerOptions);
    }
    void TearDown() override {
        monitor.reset();
        sim.stop();
    }
    void start(const std::string& scenario) {
        std::string error;
        ASSERT_TRUE(sim.start(scenario, &error)) << error;
    }
    int commandsStartingWith(const std::string& text, size_t from = 0) {
        const auto all = sim.commands();
        return static_cast<int>(
            std::count_if(all.begin() + std::min(from, all.size()), all.end(),
                          [&](const std::string& c) { return c.rfind(text, 0) == 0; }));
    }
    std::string log() {
        std::string text;
        readFile(joinPath(joinPath(dir.path(), L"Tovenmar"), L"tovenmar.log"), text);
        return text;
    }
};

TEST_F(PhoneLinkSim, APhoneOnCableAndWifiIsListedOnceAndUsedOverUsb) {
    start(std::string("phone a usb=R58M123ABC wifi=") + kWireless +
          " manufacturer=samsung model=SM-G973F\n");
    monitor->setWifi(true);
    monitor->runPass();
    const PhoneChoice c = monitor->choice();
    EXPECT_EQ(c.serial, "R58M123ABC");
    EXPECT_EQ(c.key, "R58M123ABC");
    EXPECT_EQ(c.name, "Samsung SM-G973F");
    EXPECT_FALSE(c.wifi);
    const auto phones = monitor->phones();
    ASSERT_EQ(phones.size(), 1u);
    EXPECT_TRUE(phones[0].usb);
    EXPECT_TRUE(phones[0].wifi);
}

TEST_F(PhoneLinkSim, AFreshInstallThenACurrentAppThenTheProbe) {
    start("phone a usb=R58M123ABC\n");
    const std::wstring adb = test::simAdb();
    const std::wstring prefix = L"-s R58M123ABC ";
    InstallOutcome o = installer->ensureApp(adb, prefix, nullptr);
    EXPECT_EQ(o.kind, kInstalled) << o.detail;
    const std::string grants = sim.ask("grants a");
    EXPECT_NE(grants.find("android.permission.RECORD_AUDIO"), std::string::npos) << grants;
    EXPECT_NE(grants.find("android.permission.POST_NOTIFICATIONS"), std::string::npos);

    const size_t before = sim.commands().size();
    o = installer->ensureApp(adb, prefix, nullptr);
    EXPECT_EQ(o.kind, kAlreadyCurrent);
    const auto after = sim.commands();
    ASSERT_EQ(after.size(), before + 2);
    EXPECT_EQ(after[before], "-s R58M123ABC shell pm path com.tovenmar.app");
    EXPECT_EQ(after[before + 1].rfind("-s R58M123ABC shell sha256sum ", 0), 0u);

    const PhoneInfo info = probePhoneInfo(*installer, runAdb, adb, prefix);
    EXPECT_TRUE(info.known);
    EXPECT_EQ(info.device, "Google Pixel 7");
    EXPECT_EQ(info.width, 1080);
    EXPECT_EQ(info.height, 2400);
    EXPECT_EQ(info.refresh, 120);
    EXPECT_EQ(info.codecs, (std::vector<std::string>{"h264", "hevc"}));
    EXPECT_EQ(info.defaults.at("h264"), "c2.qti.avc.encoder");
    ASSERT_EQ(info.encoders.size(), 3u);
    EXPECT_EQ(info.encoders[0].maxBitrate, 100000000);
    EXPECT_EQ(info.encoders[1].presets, "light:Light:30:540:1200");
    EXPECT_NE(log().find("phone info: Google Pixel 7, 1080x2400 at 120 Hz, 3 encoders"),
              std::string::npos)
        << log();
}

TEST_F(PhoneLinkSim, TheShapeFollowsTheChosenPhoneAndIsPutBack) {
    start("phone a usb=R58M123ABC\n");
    monitor->runPass();
    ScreenShape::Options options;
    options.findAdb = [] { return test::simAdb(); };
    ScreenShape shape(
        dir.file(L"settings.ini"), [this] { return monitor->serialArgs(); }, options);
    shape.setShape(16.0 / 9.0);
    auto wmSize = [&] {
        std::string out;
        runAdb(test::simAdb(), L"-s R58M123ABC shell wm size", &out, 10000);
        return out;
    };
    const uint64_t until = tickMs() + 30000;
    while (wmSize().find("Override size: 1080x1920") == std::string::npos && tickMs() < until) {
        sleepMs(20);
    }
    EXPECT_NE(wmSize().find("Override size: 1080x1920"), std::string::npos);
    EXPECT_TRUE(shape.finish());
    EXPECT_EQ(wmSize().find("Override size:"), std::string::npos);
    EXPECT_EQ(ini::getString(dir.file(L"settings.ini"), L"phone", L"resized", L"", 65), L"");
}

// Files dropped for the phone, through adb to the simulated phone.
class DroppedFiles : public PhoneLinkSim {
  protected:
    std::mutex lock;
    std::vector<std::string> said;

    FileSenderOptions options(CopyRules rules) {
        FileSenderOptions o;
        o.findAdb = [] { return test::simAdb(); };
        o.status = [this](const std::string& text, bool failed) {
            std::lock_guard hold(lock);
            said.push_back((failed ? "! " : "") + text);
        };
        o.copyRules = rules;
        return o;
    }
    bool told(const std::string& text) {
        return test::waitFor(
            [&] {
                std::lock_guard hold(lock);
                return std::find(said.begin(), said.end(), text) != said.end();
            },
            60000);
    }
    // A file in a folder of its own, so that two may have one name.
    std::wstring file(const std::wstring& name, const std::string& bytes) {
        const std::wstring folder = dir.file(L"drop" + std::to_wstring(++files));
        EXPECT_TRUE(createDirectory(folder));
        const std::wstring path = joinPath(folder, name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    int files = 0;
};

TEST_F(DroppedFiles, NothingOnThePhoneIsReplacedAndAnyNameArrivesAsItIs) {
    start(
        "phone a usb=R58M123ABC\n"
        "putfile a /sdcard/Download/photo.jpg \"the phone's own photo\"\n"
        "putfile a '/sdcard/Download/Photo (2).JPG' 'an older copy'\n");
    FileSender sender(options({}));
    const std::wstring odd = L"it's $HOME; `id` & (1) \u00e9t\u00e9 \u263a.txt";
    sender.send("R58M123ABC",
                {file(L"photo.jpg", "the PC's photo"), file(odd, "odd"), file(L"photo.jpg", "")});
    ASSERT_TRUE(told("photo.jpg copied to the phone's Download folder as photo (4).jpg."));
    EXPECT_TRUE(told("photo.jpg copied to the phone's Download folder as photo (3).jpg."));
    EXPECT_TRUE(told(narrow(odd) + " copied to the phone's Download folder."));
    const std::vector<std::string> files = phonesim::lines(sim.ask("files a"));
    for (const std::string& expected :
         {sha256Hex("the phone's own photo") + "  /sdcard/Download/photo.jpg",
          sha256Hex("an older copy") + "  /sdcard/Download/Photo (2).JPG",
          sha256Hex("the PC's photo") + "  /sdcard/Download/photo (3).jpg",
          sha256Hex("") + "  /sdcard/Download/photo (4).jpg",
          sha256Hex("odd") + "  /sdcard/Download/" + narrow(odd)}) {
        EXPECT_NE(std::find(files.begin(), files.end(), expected), files.end())
            << expected << "\n"
            << sim.ask("files a");
    }
}

// The phone's shared storage ignores case, accented letters' too, and another file may take a
// name while a copy is on its way: neither is replaced, and no part of a copy is left behind.
TEST_F(DroppedFiles, ANameTakenInAnotherCaseOrWhileTheCopyGoesIsNeverReplaced) {
    start(
        "phone a usb=R58M123ABC\n"
        "putfile a /sdcard/Download/\xC3\xA9t\xC3\xA9.jpg \"the phone's summer\"\n");
    FileSenderOptions o = options({});
    o.runAdbWatched = [this](const std::wstring& adb, const std::wstring& args, std::string* output,
                             const std::function<bool()>& watch) {
        // The phone's own winter picture lands just after the folder was listed.
        if (args.find(L"winter") != std::wstring::npos) {
            EXPECT_TRUE(sim.ok("putfile a /sdcard/Download/Winter.JPG \"the phone's winter\""));
        }
        return runAdbWatched(adb, args, output, watch);
    };
    FileSender sender(o);
    sender.send("R58M123ABC", {file(L"\u00c9t\u00e9.jpg", "the PC's summer"),
                               file(L"winter.jpg", "the PC's winter")});
    ASSERT_TRUE(told("winter.jpg copied to the phone's Download folder as winter (2).jpg."));
    EXPECT_TRUE(
        told("\xC3\x89t\xC3\xA9.jpg copied to the phone's Download folder as "
             "\xC3\x89t\xC3\xA9 (2).jpg."));
    const std::string files = sim.ask("files a");
    EXPECT_EQ(phonesim::lines(files),
              (std::vector<std::string>{
                  sha256Hex("the phone's winter") + "  /sdcard/Download/Winter.JPG",
                  sha256Hex("the PC's winter") + "  /sdcard/Download/winter (2).jpg",
                  sha256Hex("the PC's summer") + "  /sdcard/Download/\xC3\x89t\xC3\xA9 (2).jpg",
                  sha256Hex("the phone's summer") + "  /sdcard/Download/\xC3\xA9t\xC3\xA9.jpg"}))
        << files;
}

TEST_F(DroppedFiles, ASlowCopyShowsItsShareAStalledOneIsStoppedAndAGonePhoneEndsOne) {
    start("phone a usb=R58M123ABC pushPiece=25000\n");
    // Each look at the phone brings the next quarter: the share shows at every step.
    CopyRules quick;
    quick.lookEveryMs = 0;
    quick.showAfterMs = 0;
    FileSender sender(options(quick));
    sender.send("R58M123ABC", {file(L"movie.mp4", std::string(100000, 'm'))});
    ASSERT_TRUE(told("movie.mp4 copied to the phone's Download folder."));
    for (const char* share : {"25%", "50%", "75%"}) {
        EXPECT_TRUE(told("Copying movie.mp4\xE2\x80\xA6 " + std::string(share))) << share;
    }

    // A link that stops after 10000 bytes: stopped after the stall time, nothing left behind.
    ASSERT_TRUE(sim.ok("phone a pushPiece=none pushStall=10000"));
    CopyRules impatient = quick;
    impatient.stallMs = 2000;
    FileSender stalling(options(impatient));
    stalling.send("R58M123ABC", {file(L"stuck.bin", std::string(100000, 's'))});
    ASSERT_TRUE(told("! Couldn't copy stuck.bin: the copy made no progress for 2 seconds."));
    EXPECT_TRUE(test::waitFor(
        [&] { return sim.ask("files a").find("stuck.bin") == std::string::npos; }, 10000));

    // A phone unplugged during a copy ends it at the next look, long before any stall time.
    ASSERT_TRUE(sim.ok("phone a pushStall=0"));
    sender.send("R58M123ABC", {file(L"gone.bin", "bytes")});
    ASSERT_TRUE(test::waitFor(
        [&] { return sim.ask("files a").find("gone.bin") != std::string::npos; }, 30000));
    ASSERT_TRUE(sim.ok("unplug a usb"));
    EXPECT_TRUE(told("! Couldn't copy gone.bin: the phone went away."));
}

// The monitor follows adb's change feed: phones plugged in and out show without a poll. When
// adb's server goes away the list is polled until a new feed runs; a stop ends the feed at once.
TEST_F(PhoneLinkSim, TheMonitorFollowsAdbsChangeFeedAndPollsOnlyWhileItIsDown) {
    start("phone a usb=R58M123ABC\n");
    monitor->start();
    const auto phones = [&](size_t n) {
        return test::waitFor(
            [&] { return monitor->followingFeed() && monitor->phones().size() == n; }, 60000);
    };
    ASSERT_TRUE(phones(1));
    ASSERT_TRUE(sim.ok("phone b usb=ZY22"));
    ASSERT_TRUE(phones(2));
    const int polls = commandsStartingWith("devices -l");
    ASSERT_TRUE(sim.ok("unplug a usb"));
    ASSERT_TRUE(phones(1));
    EXPECT_EQ(monitor->choice().serial, "ZY22");
    EXPECT_EQ(commandsStartingWith("devices -l"), polls);
    EXPECT_EQ(commandsStartingWith("track-devices -l"), 1);

    ASSERT_TRUE(runAdb(test::simAdb(), L"kill-server", nullptr, 10000));
    EXPECT_TRUE(test::waitFor([&] { return commandsStartingWith("devices -l") > polls; }, 60000));
    EXPECT_TRUE(test::waitFor(
        [&] { return commandsStartingWith("track-devices -l") == 2 && monitor->followingFeed(); },
        60000));
    ASSERT_TRUE(sim.ok("plug a usb"));
    ASSERT_TRUE(phones(2));
    const int pollsThen = commandsStartingWith("devices -l");
    ASSERT_TRUE(sim.ok("unplug b usb"));
    ASSERT_TRUE(phones(1));
    EXPECT_EQ(commandsStartingWith("devices -l"), pollsThen);

    monitor->stop();
    EXPECT_TRUE(test::waitFor([&] { return sim.ask("feeds") == "0\n"; }, 10000));
}

#ifndef _WIN32
// The rest runs natively only: each would cost Wine many seconds of adb starts.

TEST_F(PhoneLinkSim, PreferUsbMovesToTheCableOnTheSecondPoll) {
    start(std::string("phone a usb=R58M123ABC wifi=") + kWireless + "\nunplug a usb\n");
    monitor->setWifi(true);
    monitor->runPass();
    EXPECT_EQ(monitor->choice().serial, kWireless);
    ASSERT_TRUE(sim.ok("plug a usb"));
    monitor->runPass();
    EXPECT_EQ(monitor->choice().serial, kWireless);
    monitor->runPass();
    EXPECT_EQ(monitor->choice().serial, "R58M123ABC");
}

TEST_F(PhoneLinkSim, PinnedAbsentChoosesNothingAndUnauthorizedIsFlagged) {
    start("phone a usb=R58M123ABC\nphone b usb=ZY22 state=unauthorized\n");
    monitor->setPinned("SOMEONE-ELSE");
    monitor->runPass();
    EXPECT_EQ(monitor->choice().serial, "");
    EXPECT_TRUE(monitor->choice().unauthorized);
    EXPECT_EQ(monitor->phones().size(), 1u);
    monitor->setPinned("");
    monitor->runPass();
    EXPECT_EQ(monitor->choice().serial, "R58M123ABC");
    EXPECT_FALSE(monitor->choice().unauthorized);
}

TEST_F(PhoneLinkSim, AWirelessPhoneThatDoesNotSayWhoItIsIsKeyedByItsId) {
    start(std::string("phone a wifi=") + kWireless + " model=Pixel_7\nhang shell getprop\n");
    monitor->setWifi(true);
    monitor->runPass();  // the identity query runs out after its 3 seconds
    const PhoneChoice c = monitor->choice();
    EXPECT_EQ(c.key, "R58M123ABC");
    EXPECT_EQ(c.name, "Pixel 7");
}

TEST_F(PhoneLinkSim, AHungDeviceListCostsOnePollNotTheMonitor) {
    start("phone a usb=R58M123ABC\nhang devices\nhang pair\n");
    monitor->runPass();  // returns once the 10-second limit ends the hung adb
    EXPECT_EQ(monitor->choice().serial, "");
    EXPECT_TRUE(monitor->phones().empty());
    // The log names a command stopped at its limit, and nothing more of it than its name.
    EXPECT_NE(log().find("adb: devices did not end within 10000 ms"), std::string::npos) << log();
    runAdb(test::simAdb(), L"pair 10.0.0.9:41000 482913", nullptr, 500);
    EXPECT_NE(log().find("adb: pair did not end within 500 ms"), std::string::npos) << log();
    EXPECT_EQ(log().find("482913"), std::string::npos);
    ASSERT_TRUE(sim.ok("nohang"));
    monitor->runPass();
    EXPECT_EQ(monitor->choice().serial, "R58M123ABC");
}

TEST_F(PhoneLinkSim, UpdatesAndEachFailureKind) {
    start("phone a usb=R58M123ABC app=old\n");
    const std::wstring adb = test::simAdb();
    const std::wstring prefix = L"-s R58M123ABC ";
    std::vector<std::string> progress;
    InstallOutcome o = installer->ensureApp(
        adb, prefix, [&](const std::string& text) { progress.push_back(text); });
    EXPECT_EQ(o.kind, kUpdated) << o.detail;
    EXPECT_EQ(progress, std::vector<std::string>{"Updating Tovenmar on your phone\xE2\x80\xA6"});

    const std::pair<const char*, int> failures[] = {
        {"INSTALL_FAILED_UPDATE_INCOMPATIBLE", kSignedDifferently},
        {"INSTALL_FAILED_USER_RESTRICTED", kBlockedByPhone},
        {"INSTALL_FAILED_ABORTED", kBlockedByPhone},
        {"INSTALL_FAILED_VERIFICATION_FAILURE", kBlockedByPhone},
        {"INSTALL_FAILED_INSUFFICIENT_STORAGE", kInstallFailed},
    };
    for (const auto& [code, kind] : failures) {
        ASSERT_TRUE(sim.ok(std::string("phone a installFailure=") + code));
        o = installer->installApp(adb, prefix, kUpdated);
        EXPECT_EQ(o.kind, kind) << code;
    }
    EXPECT_EQ(installStatusText(o),
              "Couldn't install Tovenmar on your phone ([INSTALL_FAILED_INSUFFICIENT_STORAGE]).");

    // "Success" in the output counts, whatever adb's exit code says.
    ASSERT_TRUE(sim.ok("phone a installFailure=Success"));
    EXPECT_EQ(installer->installApp(adb, prefix, kUpdated).kind, kUpdated);
}

TEST_F(PhoneLinkSim, TwoCallersNeedingTheHelperPushItOnce) {
    start("phone a usb=R58M123ABC\n");
    const std::wstring adb = test::simAdb();
    bool a = false, b = false;
    std::thread first([&] { a = installer->copyHelper(adb, L"-s R58M123ABC "); });
    std::thread second([&] { b = installer->copyHelper(adb, L"-s R58M123ABC "); });
    first.join();
    second.join();
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
    EXPECT_EQ(commandsStartingWith("-s R58M123ABC push "), 1);
}

TEST_F(PhoneLinkSim, ASilentProbeIsNoAnswer) {
    start("phone a usb=R58M123ABC probeSilent=1\n");
    const PhoneInfo info = probePhoneInfo(*installer, runAdb, test::simAdb(), L"-s R58M123ABC ");
    EXPECT_TRUE(info.known);
    EXPECT_FALSE(info.hasEncoders);
    EXPECT_NE(log().find("phone info: no answer ("), std::string::npos);
}

TEST_F(PhoneLinkSim, AnEarlierRunsShapeIsPutBackOnceAPhoneIsChosen) {
    start("phone a usb=R58M123ABC override=1080x1920\n");
    const std::wstring settings = dir.file(L"settings.ini");
    ini::writeString(settings, L"phone", L"resized", L"1080x1920");
    ini::writeString(settings, L"phone", L"original", L"1080x2000");
    ScreenShape::Options options;
    options.findAdb = [] { return test::simAdb(); };
    options.retryMs = 50;
    ScreenShape shape(
        settings, [this] { return monitor->serialArgs(); }, options);
    sleepMs(200);
    EXPECT_EQ(commandsStartingWith("-s "), 0);  // no phone chosen yet
    monitor->runPass();
    const uint64_t until = tickMs() + 30000;
    while (!ini::getString(settings, L"phone", L"resized", L"", 65).empty() && tickMs() < until) {
        sleepMs(20);
    }
    EXPECT_EQ(ini::getString(settings, L"phone", L"resized", L"", 65), L"");
    EXPECT_NE(sim.ask("status a").find("override=1080x2000"), std::string::npos);
}

#endif

}  // namespace
}  // namespace tov
