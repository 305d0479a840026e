#include "phone/phone_monitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "core/log.h"
#include "phone/phone_identity.h"
#include "phone/tests/fake_adb.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

const char* const kPixelUsb = "PIX123";
const char* const kPixelWifi = "192.168.1.7:40111";
const char* const kGalaxyUsb = "R58N12";

class PhoneMonitorTest : public ::testing::Test {
  protected:
    test::FakeAdb adb;
    test::FakeFeed feed;
    std::unique_ptr<PhoneMonitor> monitor;
    std::atomic<int> changes{0};

    void SetUp() override {
        identity(kPixelUsb, "PIX123\nGoogle\nPixel 7\n");
        identity(kPixelWifi, "PIX123\nGoogle\nPixel 7\n");
        identity(kGalaxyUsb, "R58N12\nsamsung\nSM-A525F\n");
        make([] { return std::wstring(L"adb"); });
    }
    // Without `withFeed` the thread polls, as when adb's change feed cannot run.
    void make(std::function<std::wstring()> find, uint32_t pollMs = 1000, bool withFeed = false) {
        PhoneMonitor::Options options;
        options.pollIntervalMs = pollMs;
        options.runAdb = adb.runner();
        options.findAdb = std::move(find);
        options.startFeed = withFeed ? feed.starter() : DeviceFeed::StartFunction();
        monitor = std::make_unique<PhoneMonitor>(options);
        monitor->onChange = [this] { ++changes; };
    }
    void identity(const std::string& serial, const std::string& answer) {
        adb.answer(adbPrefix(serial) + kIdentityQueryArgs, true, answer);
    }
    // One "devices -l" answer made of "serial state" lines.
    void devices(std::initializer_list<std::pair<const char*, const char*>> list) {
        std::string out = "List of devices attached\n";
        for (const auto& [serial, state] : list) {
            out += std::string(serial) + "\t" + state + " transport_id:1\n";
        }
        adb.answer(L"devices -l", true, out);
    }
    PhoneChoice pass() {
        monitor->runPass();
        return monitor->choice();
    }
};

TEST_F(PhoneMonitorTest, APhoneOnCableAndWifiIsListedOnceAndUsedOverUsb) {
    monitor->setWifi(true);
    devices({{kPixelWifi, "device"}, {kPixelUsb, "device"}});
    const PhoneChoice c = pass();
    EXPECT_EQ(c.serial, kPixelUsb);
    EXPECT_EQ(c.key, "PIX123");
    EXPECT_EQ(c.name, "Google Pixel 7");
    EXPECT_FALSE(c.wifi);
    const auto phones = monitor->phones();
    ASSERT_EQ(phones.size(), 1u);
    EXPECT_TRUE(phones[0].usb);
    EXPECT_TRUE(phones[0].wifi);
    EXPECT_EQ(monitor->serialArgs(), L"-s PIX123 ");
    EXPECT_EQ(monitor->last(), "PIX123");
    EXPECT_EQ(changes, 1);

    // Nothing new: no further change, and each connection was asked who it is only once.
    pass();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(adb.countPrefix(L"-s "), 2);
    for (uint32_t t : adb.timeouts()) EXPECT_TRUE(t == 10000 || t == 3000);
}

TEST_F(PhoneMonitorTest, PreferUsbMovesOffWifiOnTheSecondPollWithTheCable) {
    monitor->setWifi(true);
    devices({{kPixelWifi, "device"}});
    EXPECT_EQ(pass().serial, kPixelWifi);
    EXPECT_TRUE(monitor->choice().wifi);

    devices({{kPixelWifi, "device"}, {kPixelUsb, "device"}});
    EXPECT_EQ(pass().serial, kPixelWifi);  // the cable has been seen once
    EXPECT_EQ(pass().serial, kPixelUsb);
    EXPECT_FALSE(monitor->choice().wifi);

    // A cable that comes and goes starts counting again.
    devices({{kPixelWifi, "device"}});
    monitor->setPinned("");
    EXPECT_EQ(pass().serial, kPixelWifi);
    devices({{kPixelWifi, "device"}, {kPixelUsb, "device"}});
    EXPECT_EQ(pass().serial, kPixelWifi);
}

TEST_F(PhoneMonitorTest, WithoutPreferUsbWifiIsKeptUntilItGoes) {
    monitor->setWifi(true);
    monitor->setPreferUsb(false);
    devices({{kPixelWifi, "device"}});
    pass();
    devices({{kPixelWifi, "device"}, {kPixelUsb, "device"}});
    pass();
    pass();
    EXPECT_EQ(pass().serial, kPixelWifi);
    devices({{kPixelUsb, "device"}});
    EXPECT_EQ(pass().serial, kPixelUsb);
}

TEST_F(PhoneMonitorTest, WifiOffListsButNeverChoosesAWifiOnlyPhone) {
    devices({{kPixelWifi, "device"}});
    const PhoneChoice c = pass();
    EXPECT_EQ(c.serial, "");
    EXPECT_FALSE(c.unauthorized);
    ASSERT_EQ(monitor->phones().size(), 1u);
    EXPECT_TRUE(monitor->phones()[0].wifi);
    EXPECT_EQ(monitor->serialArgs(), L"");

    // In use over Wi-Fi when Wi-Fi is turned off: the cable takes over at once.
    monitor->setWifi(true);
    EXPECT_EQ(pass().serial, kPixelWifi);
    devices({{kPixelWifi, "device"}, {kPixelUsb, "device"}});
    monitor->setWifi(false);
    EXPECT_EQ(pass().serial, kPixelUsb);
}

TEST_F(PhoneMonitorTest, EachListedPhoneResolvesToItsOwnConnection) {
    monitor->setWifi(true);
    devices({{kPixelWifi, "device"}, {kGalaxyUsb, "device"}});
    pass();
    EXPECT_EQ(monitor->choiceFor("PIX123").serial, kPixelWifi);
    EXPECT_EQ(monitor->choiceFor("R58N12").serial, kGalaxyUsb);
    EXPECT_EQ(monitor->choiceFor("R58N12").name, "Samsung SM-A525F");

    // One phone unplugged: it resolves to nothing, the other keeps its connection.
    devices({{kPixelWifi, "device"}});
    pass();
    EXPECT_EQ(monitor->choiceFor("R58N12").serial, "");
    EXPECT_EQ(monitor->choiceFor("PIX123").serial, kPixelWifi);
    // Wi-Fi off: a phone reached only over Wi-Fi resolves to nothing either.
    monitor->setWifi(false);
    pass();
    EXPECT_EQ(monitor->choiceFor("PIX123").serial, "");
}

TEST_F(PhoneMonitorTest, ThePhoneInUseStaysAndLastWinsAtStartUp) {
    devices({{kPixelUsb, "device"}});
    EXPECT_EQ(pass().key, "PIX123");
    devices({{kGalaxyUsb, "device"}, {kPixelUsb, "device"}});
    EXPECT_EQ(pass().key, "PIX123");
    EXPECT_EQ(monitor->phones()[0].name, "Samsung SM-A525F");

    // A fresh start remembers the Galaxy; it wins over the first listed phone.
    make([] { return std::wstring(L"adb"); });
    monitor->setLast("R58N12");
    devices({{kPixelUsb, "device"}, {kGalaxyUsb, "device"}});
    EXPECT_EQ(pass().key, "R58N12");

    // Without last the first listed is taken, and it becomes last.
    make([] { return std::wstring(L"adb"); });
    monitor->setLast("GONE");
    EXPECT_EQ(pass().key, "PIX123");
    EXPECT_EQ(monitor->last(), "PIX123");
}

TEST_F(PhoneMonitorTest, APinnedPhoneThatIsAbsentMeansNothingIsChosen) {
    devices({{kPixelUsb, "device"}, {kGalaxyUsb, "device"}});
    monitor->setPinned("R58N12");
    EXPECT_EQ(pass().serial, kGalaxyUsb);
    devices({{kPixelUsb, "device"}});
    const PhoneChoice c = pass();
    EXPECT_EQ(c.serial, "");
    EXPECT_EQ(c.key, "");
    EXPECT_EQ(monitor->last(), "R58N12");  // last keeps the phone used last
    monitor->setPinned("");
    EXPECT_EQ(pass().serial, kPixelUsb);
}

TEST_F(PhoneMonitorTest, AnUnauthorizedDeviceIsReportedOnlyWhileNothingIsChosen) {
    devices({{kGalaxyUsb, "unauthorized"}, {"emulator-5554", "offline"}});
    EXPECT_TRUE(pass().unauthorized);
    EXPECT_TRUE(monitor->phones().empty());
    EXPECT_EQ(changes, 1);
    devices({{kGalaxyUsb, "unauthorized"}, {kPixelUsb, "device"}});
    const PhoneChoice c = pass();
    EXPECT_FALSE(c.unauthorized);
    EXPECT_EQ(c.serial, kPixelUsb);
    EXPECT_EQ(changes, 2);
    devices({{kGalaxyUsb, "device"}});
    EXPECT_EQ(pass().serial, kGalaxyUsb);
    EXPECT_EQ(changes, 3);
}

TEST_F(PhoneMonitorTest, MissingAdbIsReportedOnceAndLookedForOnEveryPass) {
    std::atomic<bool> present{false};
    int searches = 0;
    make([&] {
        ++searches;
        return present ? std::wstring(L"adb") : std::wstring();
    });
    devices({{kPixelUsb, "device"}});
    EXPECT_TRUE(pass().adbMissing);
    EXPECT_TRUE(pass().adbMissing);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(searches, 2);
    EXPECT_TRUE(adb.calls().empty());

    present = true;
    const PhoneChoice c = pass();
    EXPECT_FALSE(c.adbMissing);
    EXPECT_EQ(c.serial, kPixelUsb);
    EXPECT_EQ(changes, 2);
    pass();
    EXPECT_EQ(searches, 3);  // the path is kept once found
}

TEST_F(PhoneMonitorTest, AFailedDeviceListMeansNoPhones) {
    devices({{kPixelUsb, "device"}});
    pass();
    adb.answer(L"devices -l", false, "List of devices attached\nPIX123\tdevice\n");
    const PhoneChoice c = pass();
    EXPECT_EQ(c.serial, "");
    EXPECT_TRUE(monitor->phones().empty());
    EXPECT_EQ(changes, 2);
}

TEST_F(PhoneMonitorTest, AWirelessNameWithoutAnswerIsKeyedByItsId) {
    monitor->setWifi(true);
    const char* wireless = "adb-PIX123-Ab12Cd._adb-tls-connect._tcp";
    adb.answer(adbPrefix(wireless) + kIdentityQueryArgs, false, "error: closed\n");
    adb.answer(L"devices -l", true,
               std::string("List of devices attached\n") + wireless +
                   " device product:panther model:Pixel_7 device:panther\n");
    const PhoneChoice c = pass();
    EXPECT_EQ(c.key, "PIX123");
    EXPECT_EQ(c.name, "Pixel 7");
    EXPECT_TRUE(c.wifi);

    // The cable's answer has the same key, so the two are one phone.
    devices({{wireless, "device"}, {kPixelUsb, "device"}});
    pass();
    ASSERT_EQ(monitor->phones().size(), 1u);
    EXPECT_EQ(pass().serial, kPixelUsb);
}

// Just after a connect a phone may not answer yet; it is asked again until it says who it is,
// and then it is known by its own key, as everywhere else in the program.
TEST_F(PhoneMonitorTest, APhoneThatCannotSayWhoItIsYetIsAskedAgain) {
    monitor->setWifi(true);
    adb.answer(adbPrefix(kPixelWifi) + kIdentityQueryArgs, false, "error: closed\n");
    devices({{kPixelWifi, "device"}});
    EXPECT_EQ(pass().key, kPixelWifi);
    EXPECT_EQ(pass().key, kPixelWifi);
    identity(kPixelWifi, "PIX123\nGoogle\nPixel 7\n");
    EXPECT_EQ(pass().key, "PIX123");
    ASSERT_EQ(monitor->phones().size(), 1u);
    EXPECT_EQ(monitor->phones()[0].key, "PIX123");
}

TEST_F(PhoneMonitorTest, LogsTheIdentityAndTheConnectionInUse) {
    test::TempDir dir;
    test::ScopedEnv env(L"LOCALAPPDATA", dir.path());
    openLog();
    monitor->setWifi(true);
    devices({{kPixelWifi, "device"}});
    pass();
    devices({});
    pass();
    std::string log;
    readFile(joinPath(joinPath(dir.path(), L"Tovenmar"), L"tovenmar.log"), log);
    EXPECT_NE(log.find("phones: 192.168.1.7:40111 is PIX123 (Google Pixel 7)"), std::string::npos)
        << log;
    EXPECT_NE(log.find("phones: using Google Pixel 7 over Wi-Fi (192.168.1.7:40111)"),
              std::string::npos);
    EXPECT_NE(log.find("phones: using nothing"), std::string::npos);
}

// The thread: a setter's wake-up runs a poll at once, long before the interval is over.
TEST_F(PhoneMonitorTest, SettersWakeTheThreadForAnImmediatePoll) {
    make([] { return std::wstring(L"adb"); }, 600000);
    devices({{kPixelUsb, "device"}});
    monitor->start();
    ASSERT_TRUE(adb.waitForCalls(L"devices -l", 1, std::chrono::seconds(20)));
    monitor->setPinned("R58N12");
    ASSERT_TRUE(adb.waitForCalls(L"devices -l", 2, std::chrono::seconds(20)));
    monitor->stop();
    EXPECT_EQ(monitor->choice().serial, "");
    monitor->stop();  // a second stop is harmless
}

// With the default interval and no change feed the thread polls again by itself.
TEST_F(PhoneMonitorTest, PollsAgainWithoutBeingWoken) {
    PhoneMonitor::Options options;
    options.runAdb = adb.runner();
    options.findAdb = [] { return std::wstring(L"adb"); };
    options.startFeed = nullptr;
    ASSERT_EQ(options.pollIntervalMs, 1000u);
    monitor = std::make_unique<PhoneMonitor>(options);
    devices({});
    monitor->start();
    EXPECT_TRUE(adb.waitForCalls(L"devices -l", 3, std::chrono::seconds(30)));
    monitor->stop();
}

// Following adb's change feed, each list is one pass and nothing starts adb but the question
// who a new connection is. The cable still has to be in two passes before it wins over Wi-Fi,
// so a pass follows an interval after a list with a new connection.
TEST_F(PhoneMonitorTest, FollowsTheFeedWithoutStartingAdbWhileNothingChanges) {
    make([] { return std::wstring(L"adb"); }, 1000, true);
    monitor->setWifi(true);
    monitor->start();
    ASSERT_TRUE(feed.waitForStarts(1, std::chrono::seconds(20)));
    feed.write(test::FakeFeed::list({{kPixelWifi, "device"}}));
    ASSERT_TRUE(test::waitFor([&] { return monitor->choice().serial == kPixelWifi; }));
    EXPECT_TRUE(monitor->followingFeed());
    const std::string both = test::FakeFeed::list({{kPixelWifi, "device"}, {kPixelUsb, "device"}});
    feed.write(both.substr(0, 7));  // a list may come in pieces
    feed.write(both.substr(7));
    ASSERT_TRUE(test::waitFor([&] { return monitor->choice().serial == kPixelUsb; }));

    // Passes from now on (a list, setters) start no adb at all.
    adb.clearCalls();
    feed.write(test::FakeFeed::list({{kPixelUsb, "device"}}));
    ASSERT_TRUE(test::waitFor([&] { return !monitor->phones()[0].wifi; }));
    monitor->setPinned("R58N12");
    ASSERT_TRUE(test::waitFor([&] { return monitor->choice().serial.empty(); }));
    monitor->setPinned("");
    ASSERT_TRUE(test::waitFor([&] { return monitor->choice().serial == kPixelUsb; }));
    EXPECT_TRUE(adb.calls().empty());
    EXPECT_EQ(adb.count(L"devices -l"), 0);

    monitor->stop();
    EXPECT_EQ(feed.stopped(), 1);  // the stop ended the feed's adb
}

// While the feed cannot start, has died or writes what is not a list, the list is polled every
// interval; the feed is tried again and, once back, is followed again.
TEST_F(PhoneMonitorTest, PollsWhileTheFeedIsDownAndGoesBackToIt) {
    test::TempDir dir;
    test::ScopedEnv env(L"LOCALAPPDATA", dir.path());
    openLog();
    PhoneMonitor::Options options;
    options.runAdb = adb.runner();
    options.findAdb = [] { return std::wstring(L"adb"); };
    options.startFeed = feed.starter();
    options.feedRetryLastMs = 2000;  // the waits between tries are not what this test is about
    monitor = std::make_unique<PhoneMonitor>(options);
    devices({{kPixelUsb, "device"}});
    feed.refuse(true);
    monitor->start();
    ASSERT_TRUE(adb.waitForCalls(L"devices -l", 1, std::chrono::seconds(20)));
    ASSERT_TRUE(test::waitFor([&] { return monitor->choice().serial == kPixelUsb; }));

    // The feed comes back and is followed: its lists count, and nothing is polled.
    feed.refuse(false);
    ASSERT_TRUE(feed.waitForStarts(1, std::chrono::seconds(20)));
    const auto follow = [&](std::initializer_list<std::pair<const char*, const char*>> list,
                            size_t phones) {
        feed.write(test::FakeFeed::list(list));
        return test::waitFor(
            [&] { return monitor->followingFeed() && monitor->phones().size() == phones; });
    };
    ASSERT_TRUE(follow({{kGalaxyUsb, "device"}}, 1));
    int polls = adb.count(L"devices -l");
    ASSERT_TRUE(follow({{kGalaxyUsb, "device"}, {kPixelUsb, "device"}}, 2));
    EXPECT_EQ(adb.count(L"devices -l"), polls);

    // It ends: the list is polled at once, and the feed is started again.
    feed.end(1);
    ASSERT_TRUE(adb.waitForCalls(L"devices -l", polls + 1, std::chrono::seconds(20)));
    ASSERT_TRUE(test::waitFor([&] { return monitor->phones().size() == 1; }));
    ASSERT_TRUE(feed.waitForStarts(2, std::chrono::seconds(20)));
    ASSERT_TRUE(follow({{kGalaxyUsb, "device"}}, 1));

    // It writes what is not a list: the same.
    polls = adb.count(L"devices -l");
    feed.write("List of devices attached\n");
    ASSERT_TRUE(adb.waitForCalls(L"devices -l", polls + 1, std::chrono::seconds(20)));
    ASSERT_TRUE(feed.waitForStarts(3, std::chrono::seconds(20)));
    ASSERT_TRUE(follow({}, 0));
    monitor->stop();

    std::string log;
    readFile(joinPath(joinPath(dir.path(), L"Tovenmar"), L"tovenmar.log"), log);
    for (const char* line :
         {"phones: adb's change feed did not start; polling every second, trying again in 1 s",
          "phones: following adb's change feed",
          "phones: adb's change feed ended (adb ended with exit code 1); polling every second",
          "phones: adb's change feed ended (not a list length: \"List of devices"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
}

}  // namespace
}  // namespace tov
