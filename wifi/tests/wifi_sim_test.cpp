// The Wi-Fi subsystem against the phone simulator, wired as the App wires it: the phone link's
// adb runner and identity query, and the phone monitor's list fed back in.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/log.h"
#include "phone/adb_runner.h"
#include "phone/phone_identity.h"
#include "phone/phone_monitor.h"
#include "phone/tests/sim_daemon.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "wifi/wifi_phones.h"

namespace tov {
namespace {

class WifiSim : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    test::SimDaemon sim;
    std::unique_ptr<PhoneMonitor> monitor;
    std::unique_ptr<WifiPhones> wifi;
    const std::wstring settings = dir.file(L"settings.ini");
    uint32_t giveUpMs = 120000;

    void SetUp() override { openLog(); }
    void TearDown() override {
        // Stopped before it is let go: its change callback reads `monitor` until its thread ends.
        if (monitor) monitor->stop();
        monitor.reset();
        wifi.reset();
        sim.stop();
    }

    void start(const std::string& scenario) {
        std::string error;
        ASSERT_TRUE(sim.start(scenario, &error)) << error;
        PhoneMonitor::Options monitorOptions;
        monitorOptions.findAdb = [] { return test::simAdb(); };
        monitorOptions.pollIntervalMs = 200;
        monitor = std::make_unique<PhoneMonitor>(monitorOptions);

        WifiPhones::Options options;
        options.findAdb = [] { return test::simAdb(); };
        options.runAdb = [](const std::wstring& adb, const std::wstring& args,
                            const std::string& input, std::string* output, uint32_t limitMs) {
            return runAdbWithInput(adb, args, input, output, limitMs);
        };
        options.identify = [](const std::wstring& adb, const std::string& serial) {
            std::string answer;
            runAdb(adb, adbPrefix(serial) + kIdentityQueryArgs, &answer, kIdentityQueryTimeoutMs);
            const PhoneIdentity id = identityFromAnswer(answer, serial, "");
            return WifiPhones::Identity{id.key, id.name};
        };
        options.settingsPath = [this] { return settings; };
        options.random = secureRandom;
        options.cardPollMs = 200;
        options.giveUpMs = giveUpMs;
        options.discoveryPollMs = 200;
        options.firstRetryMs = 300;
        options.maxRetryMs = 1000;
        wifi = std::make_unique<WifiPhones>(options);

        monitor->onChange = [this] { wifi->setListedPhones(monitor->phones()); };
        monitor->setWifi(true);
        wifi->setUseWifi(true);
        wifi->start();
        monitor->start();
    }

    WifiState waitState(const std::function<bool(const WifiState&)>& done) {
        WifiState s;
        test::waitFor([&] {
            s = wifi->state();
            return done(s);
        });
        return s;
    }
    bool listedOverWifi(const std::string& key) {
        return test::waitFor([&] {
            const auto phones = monitor->phones();
            return std::any_of(phones.begin(), phones.end(),
                               [&](const PhoneEntry& p) { return p.key == key && p.wifi; });
        });
    }
    std::string network(const std::string& phone, const std::string& key) {
        for (const std::string& line : phonesim::lines(sim.ask("network " + phone))) {
            if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
        }
        return {};
    }
    std::string setting(const wchar_t* key) {
        return narrow(ini::getString(settings, L"wifiphones", key, L"", 128));
    }
    std::string log() {
        std::string text;
        readFile(joinPath(joinPath(dir.path(), L"Tovenmar"), L"tovenmar.log"), text);
        return text;
    }
    int commandsStartingWith(const std::string& text) {
        const auto all = sim.commands();
        return static_cast<int>(std::count_if(
            all.begin(), all.end(), [&](const std::string& c) { return c.rfind(text, 0) == 0; }));
    }
};

TEST_F(WifiSim, APhoneThatScansTheCodeIsPairedConnectedRememberedAndForgotten) {
    start("phone p serialno=R5CT100 manufacturer=Google model='Pixel 8' ip=192.168.1.20\n");
    wifi->openQrCard();
    WifiState s = waitState([](const WifiState& s) { return s.step == WifiStep::Looking; });
    ASSERT_EQ(s.step, WifiStep::Looking) << s.status;
    EXPECT_TRUE(s.cardOpen);
    EXPECT_TRUE(s.discovery);
    const std::string text = s.pairingText;
    ASSERT_EQ(text.rfind("WIFI:T:ADB;S:tovenmar-", 0), 0u) << text;

    ASSERT_TRUE(sim.ok("scan p '" + text + "'"));
    s = waitState([](const WifiState& s) {
        return s.step == WifiStep::Connected || s.step == WifiStep::Failed;
    });
    ASSERT_EQ(s.step, WifiStep::Connected) << s.status;
    EXPECT_EQ(s.status, "Google Pixel 8 is connected over Wi-Fi.");
    const std::string address = "192.168.1.20:" + network("p", "connectPort");
    ASSERT_EQ(s.remembered.size(), 1u);
    EXPECT_EQ(s.remembered[0].key, "R5CT100");
    EXPECT_EQ(s.remembered[0].address, address);
    EXPECT_EQ(s.remembered[0].service, network("p", "name"));
    EXPECT_EQ(setting(L"key1"), "R5CT100");
    EXPECT_EQ(setting(L"address1"), address);
    EXPECT_TRUE(listedOverWifi("R5CT100"));
    // The password went to adb on its standard input: never on a command line any process
    // listing shows, never to the log; and once paired, the card holds it no longer.
    const std::string password = text.substr(text.find(";P:") + 3, 16);
    EXPECT_EQ(commandsStartingWith("pair 192.168.1.20:"), 1);
    for (const std::string& c : sim.commands()) EXPECT_EQ(c.find(password), std::string::npos);
    EXPECT_EQ(log().find(password), std::string::npos);
    EXPECT_NE(log().find("(code hidden)"), std::string::npos);
    EXPECT_EQ(s.pairingText, "");

    wifi->closeCard();
    EXPECT_FALSE(wifi->state().cardOpen);
    wifi->forget("R5CT100");
    s = waitState([](const WifiState& s) { return s.remembered.empty(); });
    EXPECT_TRUE(s.remembered.empty());
    EXPECT_EQ(s.note, "Google Pixel 8 is forgotten.");
    EXPECT_EQ(setting(L"count"), "0");
    EXPECT_TRUE(test::waitFor([&] { return monitor->phones().empty(); }));
}

TEST_F(WifiSim, AWrongCodeFailsInAdbsWordsAndTheRightOneConnects) {
    start("phone p serialno=R5CT100 ip=192.168.1.20\n");
    std::string offered = sim.ask("pairing p 482913");
    ASSERT_FALSE(offered.empty());
    offered.pop_back();
    wifi->openQrCard();
    WifiState s = waitState([](const WifiState& s) { return !s.offers.empty(); });
    ASSERT_EQ(s.offers.size(), 1u);
    EXPECT_EQ(s.offers[0].address, offered);
    EXPECT_EQ(s.offers[0].name, network("p", "name"));

    wifi->pairWithCode(offered, "12345");
    s = waitState([](const WifiState& s) { return s.step == WifiStep::Failed; });
    EXPECT_EQ(s.status, "The pairing code has six digits.");
    wifi->pairWithCode(offered, "111111");
    s = waitState([](const WifiState& s) {
        return s.step == WifiStep::Failed && s.status != "The pairing code has six digits.";
    });
    EXPECT_EQ(s.status, "Pairing failed: Failed: Wrong password or connection was dropped.");
    EXPECT_TRUE(s.remembered.empty());
    EXPECT_EQ(setting(L"key1"), "");

    wifi->pairWithCode(" " + offered + " ", "482913");
    s = waitState([](const WifiState& s) { return s.step == WifiStep::Connected; });
    ASSERT_EQ(s.step, WifiStep::Connected) << s.status;
    for (const std::string& c : sim.commands()) EXPECT_EQ(c.find("482913"), std::string::npos);
    ASSERT_EQ(s.remembered.size(), 1u);
    EXPECT_EQ(s.remembered[0].address, "192.168.1.20:" + network("p", "connectPort"));
    EXPECT_TRUE(listedOverWifi("R5CT100"));
}

TEST_F(WifiSim, WithoutDiscoveryTheCardSaysSoAndTypedAddressesStillPairAndConnect) {
    start("phone p serialno=R5CT100 ip=192.168.1.20\nmdns off\n");
    std::string offered = sim.ask("pairing p 482913");
    offered.pop_back();
    wifi->openQrCard();
    WifiState s = waitState([](const WifiState& s) { return !s.discovery; });
    EXPECT_EQ(s.step, WifiStep::Looking);
    EXPECT_EQ(s.status.rfind("adb here cannot look for phones on the network", 0), 0u);
    wifi->pairWithCode(offered, "482913");
    s = waitState([](const WifiState& s) { return s.step == WifiStep::Failed; });
    EXPECT_EQ(s.status.rfind("Paired. Now type the address shown", 0), 0u) << s.status;
    wifi->pairWithCode("192.168.1.20:" + network("p", "connectPort"), "");
    s = waitState([](const WifiState& s) { return s.step == WifiStep::Connected; });
    ASSERT_EQ(s.step, WifiStep::Connected) << s.status;
    EXPECT_TRUE(listedOverWifi("R5CT100"));
}

TEST_F(WifiSim, ACodeNoPhoneScansIsGivenUpAndTryAgainMakesANewOne) {
    giveUpMs = 300;
    start("phone p serialno=R5CT100 ip=192.168.1.20\n");
    wifi->openQrCard();
    WifiState s = waitState([](const WifiState& s) { return s.step == WifiStep::GaveUp; });
    ASSERT_EQ(s.step, WifiStep::GaveUp);
    EXPECT_TRUE(s.canRetry);
    EXPECT_EQ(s.status, "No phone paired within two minutes. Press Try again for a new code.");
    const std::string old = s.pairingText;
    const int polls = commandsStartingWith("mdns services");
    wifi->openQrCard();
    // (It gives up again soon: this card's time is short.)
    s = waitState(
        [&](const WifiState& s) { return !s.pairingText.empty() && s.pairingText != old; });
    EXPECT_NE(s.pairingText, old);
    // The new card looks again.
    EXPECT_TRUE(test::waitFor([&] { return commandsStartingWith("mdns services") > polls; }));
}

TEST_F(WifiSim, ACabledPhoneSwitchesToWifiAndStaysWhenUnplugged) {
    start("phone c usb=S1 ip=192.168.1.30\nphone d usb=S2\n");
    wifi->useOverWifi("S2");
    WifiState s = waitState([](const WifiState& s) { return s.noteFailed; });
    EXPECT_EQ(s.note, "The phone is not on a Wi-Fi network. Connect it to Wi-Fi and try again.");
    EXPECT_EQ(commandsStartingWith("-s S2 tcpip"), 0);  // its adb was left alone

    wifi->useOverWifi("S1");
    s = waitState([](const WifiState& s) { return !s.remembered.empty(); });
    ASSERT_EQ(s.remembered.size(), 1u) << s.note;
    EXPECT_EQ(s.remembered[0].key, "S1");
    EXPECT_EQ(s.remembered[0].address, "192.168.1.30:5555");
    s = waitState([](const WifiState& s) {
        return !s.noteFailed && s.note.find("You can") != std::string::npos;
    });
    EXPECT_EQ(s.note, "Google Pixel 7 is connected over Wi-Fi. You can unplug the cable.");
    EXPECT_EQ(commandsStartingWith("-s S1 tcpip 5555"), 1);
    EXPECT_TRUE(listedOverWifi("S1"));

    ASSERT_TRUE(sim.ok("unplug c usb"));
    EXPECT_TRUE(test::waitFor([&] { return monitor->choice().serial == "192.168.1.30:5555"; }));
    EXPECT_TRUE(monitor->choice().wifi);
    // The note no longer asks for what was done.
    s = waitState([](const WifiState& s) { return s.note.find("unplug") == std::string::npos; });
    EXPECT_EQ(s.note, "Google Pixel 7 is connected over Wi-Fi.");
}

// Also the program's start: a phone remembered in settings.ini is connected with no one asking.
TEST_F(WifiSim, APhoneWhoseWifiDropsAndReturnsOnANewPortIsConnectedAgain) {
    const std::string first = "192.168.1.20:40001";
    ini::writeString(settings, L"wifiphones", L"count", L"1");
    ini::writeString(settings, L"wifiphones", L"key1", L"R5CT100");
    ini::writeString(settings, L"wifiphones", L"address1", widen(first).c_str());
    ini::writeString(settings, L"wifiphones", L"service1", L"adb-R5CT100-QwErTy");
    start(
        "phone p serialno=R5CT100 ip=192.168.1.20 debugging=1 paired=1 connectPort=40001 "
        "mdnsName=adb-R5CT100-QwErTy\n");
    ASSERT_TRUE(listedOverWifi("R5CT100"));

    ASSERT_TRUE(sim.ok("wifi p drop"));
    EXPECT_TRUE(test::waitFor([&] { return monitor->phones().empty(); }));
    WifiState s = waitState(
        [](const WifiState& s) { return !s.remembered.empty() && !s.remembered[0].connected; });
    ASSERT_TRUE(sim.ok("wifi p back new"));
    const std::string moved = "192.168.1.20:" + network("p", "connectPort");
    ASSERT_NE(moved, first);
    EXPECT_TRUE(listedOverWifi("R5CT100"));
    s = waitState([&](const WifiState& s) {
        return !s.remembered.empty() && s.remembered[0].address == moved;
    });
    EXPECT_EQ(s.remembered[0].address, moved);
    EXPECT_EQ(setting(L"address1"), moved);
    EXPECT_NE(log().find(" again at " + moved), std::string::npos);
}

TEST_F(WifiSim, AnotherPhoneAtTheRememberedAddressIsNotTakenForIt) {
    ini::writeString(settings, L"wifiphones", L"count", L"1");
    ini::writeString(settings, L"wifiphones", L"key1", L"R5CT100");
    ini::writeString(settings, L"wifiphones", L"address1", L"192.168.1.20:5555");
    start("phone q serialno=NEIGHBOUR ip=192.168.1.20 tcpip=5555\n");
    EXPECT_TRUE(test::waitFor([&] {
        return log().find(
                   "wifi: NEIGHBOUR answers at 192.168.1.20:5555, not the phone "
                   "remembered there") != std::string::npos;
    }));
    EXPECT_TRUE(test::waitFor([&] { return commandsStartingWith("disconnect 192.168.1.20") > 0; }));
    const WifiState s = wifi->state();
    ASSERT_EQ(s.remembered.size(), 1u);
    EXPECT_EQ(s.remembered[0].key, "R5CT100");
    EXPECT_EQ(setting(L"count"), "1");
}

// A phone that now holds a remembered phone's old address belongs to whoever has it: the
// reconnector never cuts its connection and stops trying that address.
TEST_F(WifiSim, AnotherPhoneSwitchedToWifiAtARememberedAddressKeepsItsConnection) {
    ini::writeString(settings, L"wifiphones", L"count", L"1");
    ini::writeString(settings, L"wifiphones", L"key1", L"R5CT100");
    ini::writeString(settings, L"wifiphones", L"address1", L"192.168.1.20:5555");
    start("phone q usb=NEIGHBOUR ip=192.168.1.20\n");
    wifi->useOverWifi("NEIGHBOUR");
    ASSERT_TRUE(listedOverWifi("NEIGHBOUR"));
    ASSERT_TRUE(test::waitFor([&] {
        return log().find("not the phone remembered there") != std::string::npos;
    }));
    const int connects = commandsStartingWith("connect 192.168.1.20:5555");
    const int polls = commandsStartingWith("mdns services");
    // Discovery, looking for the missing phone, goes on; the address is not tried again.
    ASSERT_TRUE(test::waitFor([&] { return commandsStartingWith("mdns services") >= polls + 5; }));
    EXPECT_EQ(commandsStartingWith("connect 192.168.1.20:5555"), connects);
    EXPECT_EQ(commandsStartingWith("disconnect"), 0);
    EXPECT_TRUE(listedOverWifi("NEIGHBOUR"));
    const WifiState s = wifi->state();
    ASSERT_EQ(s.remembered.size(), 2u);
    EXPECT_FALSE(s.remembered[0].connected);  // R5CT100
}

// Right after a connect a phone may not answer who it is: the phone list asks again until it
// knows, and meanwhile the Wi-Fi side knows the connection by its address, so the phone is not
// counted gone and connected again over and over.
TEST_F(WifiSim, APhoneThatCannotSayWhoItIsAtFirstIsAskedAgainAndNotConnectedTwice) {
    ini::writeString(settings, L"wifiphones", L"count", L"1");
    ini::writeString(settings, L"wifiphones", L"key1", L"R5CT100");
    ini::writeString(settings, L"wifiphones", L"address1", L"192.168.1.20:5555");
    start("phone p serialno=R5CT100 ip=192.168.1.20 tcpip=5555\nfail shell getprop\n");
    ASSERT_TRUE(listedOverWifi("192.168.1.20:5555"));
    // The Wi-Fi side finds its fresh connection in the list under the address.
    ASSERT_TRUE(test::waitFor(
        [&] { return log().find("wifi: R5CT100 is listed over Wi-Fi") != std::string::npos; }));
    // The Wi-Fi side's own question and several of the phone list's.
    ASSERT_TRUE(test::waitFor(
        [&] { return commandsStartingWith("-s 192.168.1.20:5555 shell getprop") >= 5; }));
    ASSERT_TRUE(sim.ok("nofail"));
    EXPECT_TRUE(listedOverWifi("R5CT100"));
    EXPECT_EQ(commandsStartingWith("connect 192.168.1.20:5555"), 1);
    EXPECT_EQ(log().find("dropped off"), std::string::npos);
    const WifiState s = wifi->state();
    ASSERT_EQ(s.remembered.size(), 1u);
    EXPECT_TRUE(s.remembered[0].connected);
}

// A remembered phone that does not answer holds adb's connect for long; what the user asks for
// meanwhile does not wait for it.
TEST_F(WifiSim, TheUsersActionsDoNotWaitForABackgroundReconnect) {
    ini::writeString(settings, L"wifiphones", L"count", L"1");
    ini::writeString(settings, L"wifiphones", L"key1", L"GONE1");
    ini::writeString(settings, L"wifiphones", L"address1", L"192.168.1.99:5555");
    start("phone c usb=S1 ip=192.168.1.30\nhang connect 192.168.1.99\n");
    ASSERT_TRUE(
        test::waitFor([&] { return commandsStartingWith("connect 192.168.1.99:5555") > 0; }));
    wifi->useOverWifi("S1");
    const WifiState s = waitState([](const WifiState& s) {
        return std::any_of(s.remembered.begin(), s.remembered.end(),
                           [](const WifiRemembered& p) { return p.key == "S1"; });
    });
    const std::string text = log();
    const size_t cut = text.find("wifi: adb connect 192.168.1.99:5555: ended, no longer wanted");
    const size_t switched = text.find("wifi: adb -s S1 shell ip");
    ASSERT_NE(cut, std::string::npos) << text;
    EXPECT_LT(cut, switched);
    // The phone the user's action came first to is tried again afterwards.
    EXPECT_TRUE(
        test::waitFor([&] { return commandsStartingWith("connect 192.168.1.99:5555") > 1; }));
    EXPECT_EQ(s.remembered.size(), 2u);
}

TEST_F(WifiSim, ClosingTheCardOrStoppingEndsTheAdbCommandInFlight) {
    start("phone p serialno=R5CT100 ip=192.168.1.20\nhang pair\n");
    wifi->openQrCard();
    WifiState s = waitState([](const WifiState& s) { return s.step == WifiStep::Looking; });
    ASSERT_TRUE(sim.ok("scan p '" + s.pairingText + "'"));
    waitState([](const WifiState& s) { return s.step == WifiStep::Pairing; });
    wifi->closeCard();
    EXPECT_TRUE(test::waitFor([&] {
        return log().find(" (code hidden): ended, no longer wanted") != std::string::npos;
    }));

    wifi->openQrCard();
    s = waitState([&](const WifiState& s) { return s.step == WifiStep::Looking; });
    ASSERT_TRUE(sim.ok("scan p '" + s.pairingText + "'"));
    waitState([](const WifiState& s) { return s.step == WifiStep::Pairing; });
    wifi->stop();
    size_t ended = 0;
    const std::string text = log();
    for (size_t at = text.find("ended, no longer wanted"); at != std::string::npos;
         at = text.find("ended, no longer wanted", at + 1)) {
        ++ended;
    }
    EXPECT_EQ(ended, 2u);
}

}  // namespace
}  // namespace tov
