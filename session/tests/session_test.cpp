// The Session loop against a fake phone link and a fake stream server.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/clock.h"
#include "session_harness.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using test::FakePhone;
using test::SessionHarness;

std::string forwardCommand(const std::string& serial, uint16_t port) {
    return "-s " + serial + " forward tcp:" + std::to_string(port) + " tcp:27183";
}

std::string launchCommand(const std::string& serial) {
    return "-s " + serial +
           " shell am start -n com.tovenmar.app/.MainActivity --ez start true -f 0x30000000";
}

TEST(Session, StartWithoutAPhoneWaitsThenGoesLiveWhenOneIsAttached) {
    SessionHarness h;
    Session& s = h.start();
    s.setOptions({{"video", "1"}, {"decoders", "stale"}});
    s.setStreaming(true);
    ASSERT_TRUE(h.waitForState(LinkState::NoDevice));
    sleepMs(300);
    EXPECT_EQ(h.link.calls().size(), 0u);
    EXPECT_EQ(h.phone.count("connect"), 0);

    h.link.attach("USB1", "key1", "Pixel 7");
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    const std::vector<std::string> expected = {"probe -s USB1 ", "ensureApp -s USB1 ",
                                               forwardCommand("USB1", h.phone.port())};
    EXPECT_EQ(h.link.calls(), expected);
    EXPECT_EQ(h.states(), (std::vector<LinkState>{LinkState::NoDevice, LinkState::Live}));
    // The Session's own decoders text replaces whatever the options carried.
    EXPECT_EQ(h.phone.payloads(7).at(0), "decoders=h264\nvideo=1");
    EXPECT_EQ(h.hellos(), 1);
    ASSERT_EQ(h.phoneInfos().size(), 1u);
    EXPECT_EQ(h.phoneInfos()[0].device, "Pixel 7");
    EXPECT_NE(test::logText().find("link: live (Pixel 7)"), std::string::npos);
}

// docs/phone-app.md §Stop
TEST(Session, StopStreamWhileLiveSendsStopBeforeTheSocketCloses) {
    SessionHarness h;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    s.setDecoders("h264,hevc");
    s.setStreaming(true);
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    EXPECT_EQ(h.phone.payloads(7).at(0), "decoders=h264,hevc");
    s.setStreaming(false);
    ASSERT_TRUE(h.waitForState(LinkState::Ready));
    ASSERT_TRUE(test::waitFor([&] { return h.phone.count("closed") == 1; }));
    const auto events = h.phone.events();
    const auto closed = std::find(events.begin(), events.end(), "closed");
    ASSERT_NE(closed, events.begin());
    EXPECT_EQ(*(closed - 1), "packet 11");
    EXPECT_FALSE(s.streaming());
    sleepMs(300);
    EXPECT_EQ(h.phone.count("connect"), 1);  // no reconnect while not streaming
}

TEST(Session, PhoneMovingToWifiWhileLiveReconnectsOnTheNewSerialWithoutAProbe) {
    SessionHarness h;
    h.link.attach("USB1", "key1", "Pixel 7");
    h.start(true);
    Session& s = h.session();
    ASSERT_TRUE(h.waitForState(LinkState::Live));

    h.link.attach("192.168.1.20:5555", "key1", "Pixel 7");
    s.reconnect();  // what the owner does when the chosen serial changes
    ASSERT_TRUE(test::waitFor(
        [&] { return h.phone.count("connect") == 2 && h.lastState() == LinkState::Live; }));
    EXPECT_EQ(h.link.count("probe"), 1);
    EXPECT_EQ(h.link.count("ensureApp"), 1);  // checked once per generation
    EXPECT_EQ(h.link.count(forwardCommand("192.168.1.20:5555", h.phone.port())), 1);
    EXPECT_NE(test::logText().find("session: moving to 192.168.1.20:5555"), std::string::npos);
    const auto states = h.states();
    EXPECT_EQ(states,
              (std::vector<LinkState>{LinkState::Live, LinkState::WaitingForApp, LinkState::Live}));
}

// docs/phone-app.md §The package, §Handshake
TEST(Session, AnAppThatNeverAnswersIsStartedOncePerCycleAndRetried) {
    SessionHarness h;
    h.phone.hello = FakePhone::Hello::None;
    h.config.stream.helloTimeoutMs = 50;  // the 700 ms retry pause stays as it is
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    s.setStreaming(true);
    ASSERT_TRUE(test::waitFor([&] { return h.phone.count("connect") >= 3; }));
    EXPECT_EQ(h.lastState(), LinkState::WaitingForApp);
    EXPECT_EQ(h.link.count(launchCommand("USB1")), 1);
    EXPECT_EQ(h.link.count("-s USB1 forward"), 1);
    EXPECT_EQ(h.hellos(), 0);

    // A new Start stream is a new cycle: the app is checked and started again.
    s.setStreaming(false);
    s.setStreaming(true);
    ASSERT_TRUE(test::waitFor([&] { return h.link.count(launchCommand("USB1")) == 2; }));
    EXPECT_EQ(h.link.count("ensureApp"), 2);
}

TEST(Session, EachStartStreamChecksTheAppAgainButStartsItOnlyWhenNotConnected) {
    SessionHarness h;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    for (int press = 1; press <= 3; ++press) {
        s.setStreaming(true);
        ASSERT_TRUE(test::waitFor(
            [&] { return h.phone.count("connect") == press && h.lastState() == LinkState::Live; }));
        s.setStreaming(false);
        ASSERT_TRUE(h.waitForState(LinkState::Ready));
    }
    EXPECT_EQ(h.link.count("ensureApp"), 3);
    EXPECT_EQ(h.link.count("-s USB1 forward tcp:"), 3);
    EXPECT_EQ(h.link.count(launchCommand("USB1")), 0);
}

TEST(Session, AnAppCheckedBeforeStartSparesTheCheckOnceAndAFailedStartChecksItAgain) {
    SessionHarness h;
    h.link.appCurrent = true;
    h.config.stream.helloTimeoutMs = 50;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    ASSERT_TRUE(test::waitFor([&] { return h.link.count("appIsCurrent -s USB1 ") == 1; }));
    s.setStreaming(true);
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    EXPECT_EQ(h.link.count("ensureApp"), 0);
    // On a busy machine the first hello can miss its 50 ms and the app is started once here.
    const int launchesBefore = h.link.count(launchCommand("USB1"));

    // The check is used up: after Stop stream the phone is checked again before the next Start.
    s.setStreaming(false);
    ASSERT_TRUE(test::waitFor([&] { return h.link.count("appIsCurrent") == 2; }));
    // An app gone since its check fails to start: it is checked and started again at once.
    h.phone.hello = FakePhone::Hello::None;
    {
        std::lock_guard<std::mutex> l(h.link.lock());
        h.link.launchFails = true;
    }
    s.setStreaming(true);
    ASSERT_TRUE(test::waitFor(
        [&] { return h.link.count(launchCommand("USB1")) == launchesBefore + 2; }));
    EXPECT_EQ(h.link.count("ensureApp"), 1);
    EXPECT_NE(test::logText().find("session: the phone app didn't start; checking it again"),
              std::string::npos);
    // With the check made at Start, a failing start is retried once per cycle as before.
    sleepMs(500);
    EXPECT_EQ(h.link.count("ensureApp"), 1);
    EXPECT_EQ(h.link.count(launchCommand("USB1")), launchesBefore + 2);
}

TEST(Session, ReinstallWhileNotStreamingSwitchesStreamingOnAndUninstallsFirst) {
    SessionHarness h;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    ASSERT_TRUE(h.waitForState(LinkState::Ready));
    s.reinstall();
    EXPECT_TRUE(s.streaming());
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    EXPECT_EQ(h.link.count("reinstallApp -s USB1 "), 1);
    EXPECT_EQ(h.link.count("ensureApp"), 0);  // the reinstall counts as the check
    EXPECT_EQ(s.statusText(), "Installed Tovenmar on your phone.");
}

TEST(Session, ReinstallWhileLiveDropsTheConnectionAndReinstallsAtOnce) {
    SessionHarness h;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    s.setStreaming(true);
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    s.reinstall();
    ASSERT_TRUE(test::waitFor([&] { return h.link.count("reinstallApp") == 1; }));
    ASSERT_TRUE(test::waitFor(
        [&] { return h.phone.count("connect") == 2 && h.lastState() == LinkState::Live; }));
}

TEST(Session, InstallOutcomesSetTheStatusAndStopStreamingWhenTheyFail) {
    SessionHarness h;
    h.link.attach("USB1", "key1", "Pixel 7");
    {
        std::lock_guard<std::mutex> lock(h.link.lock());
        h.link.ensureOutcome = {3, "signed differently"};
    }
    Session& s = h.start();
    s.setStreaming(true);
    ASSERT_TRUE(test::waitFor([&] { return !s.streaming(); }));
    EXPECT_EQ(s.statusText(), "signed differently");
    EXPECT_TRUE(s.signatureMismatch());
    EXPECT_EQ(h.link.count("-s USB1 forward"), 0);

    {
        std::lock_guard<std::mutex> lock(h.link.lock());
        h.link.ensureOutcome = {4, "blocked"};
    }
    s.setStreaming(true);
    ASSERT_TRUE(test::waitFor([&] { return !s.streaming() && s.statusText() == "blocked"; }));
    EXPECT_TRUE(s.signatureMismatch());  // only a successful outcome clears it

    {
        std::lock_guard<std::mutex> lock(h.link.lock());
        h.link.ensureOutcome = {2, "Updated Tovenmar on your phone."};
    }
    s.setStreaming(true);
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    EXPECT_FALSE(s.signatureMismatch());
    EXPECT_EQ(s.statusText(), "Updated Tovenmar on your phone.");
}

// docs/phone-app.md §Processes, ports and sockets
TEST(Session, NoAppModeForwardsToTheAbstractSocketAndStartsNothing) {
    SessionHarness h;
    h.phone.hello = FakePhone::Hello::None;
    h.config.stream.helloTimeoutMs = 50;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    s.setNoApp(true);
    s.setStreaming(true);
    ASSERT_TRUE(test::waitFor([&] { return h.phone.count("connect") >= 2; }));
    EXPECT_EQ(h.link.count("ensureApp"), 0);
    EXPECT_EQ(h.link.count("-s USB1 shell am start"), 0);
    EXPECT_EQ(h.link.count("-s USB1 forward tcp:" + std::to_string(h.phone.port()) +
                           " localabstract:tovenmar-stream"),
              1);
    h.phone.hello = FakePhone::Hello::Normal;
    EXPECT_TRUE(h.waitForState(LinkState::Live));
}

TEST(Session, FailedForwardIsRetried) {
    SessionHarness h;
    h.link.forwardFails = true;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    s.setStreaming(true);
    ASSERT_TRUE(test::waitFor([&] { return h.link.count("-s USB1 forward") >= 2; }));
    EXPECT_EQ(h.phone.count("connect"), 0);
    {
        std::lock_guard<std::mutex> lock(h.link.lock());
        h.link.forwardFails = false;
    }
    EXPECT_TRUE(h.waitForState(LinkState::Live));
}

// adb chooses the local port and prints it; an answer without one is said once and tried again.
// The stream's forward goes when the stream stops, and the phone that left takes its own.
TEST(Session, ConnectsToThePortAdbChoseAndRemovesItsForwardWhenDone) {
    SessionHarness h;
    h.config.appPort = 0;
    h.link.forwardAnswer = "adb: \x1b[1mgarbage\n";
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    s.setStreaming(true);
    ASSERT_TRUE(
        test::waitFor([&] { return h.link.count("-s USB1 forward tcp:0 tcp:27183") >= 2; }));
    EXPECT_EQ(h.phone.count("connect"), 0);
    EXPECT_EQ(h.lastState(), LinkState::WaitingForApp);
    const std::string port = std::to_string(h.phone.port());
    {
        std::lock_guard<std::mutex> lock(h.link.lock());
        h.link.forwardAnswer = port + "\r\n";
    }
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    const std::string log = test::logText();
    const std::string said =
        "session: cannot forward a local port to tcp:27183 (no port in adb's answer \"adb: "
        "?[1mgarbage\")";
    EXPECT_NE(log.find(said), std::string::npos) << log;
    EXPECT_EQ(log.find(said), log.rfind(said));
    EXPECT_EQ(h.link.count("-s USB1 forward --remove"), 0);

    s.setStreaming(false);
    ASSERT_TRUE(
        test::waitFor([&] { return h.link.count("-s USB1 forward --remove tcp:" + port) == 1; }));
    s.setStreaming(true);
    ASSERT_TRUE(test::waitFor(
        [&] { return h.phone.count("connect") == 2 && h.lastState() == LinkState::Live; }));
    h.link.attach("USB2", "key2", "Pixel 8");
    s.reconnect();
    ASSERT_TRUE(test::waitFor([&] { return h.link.count("-s USB1 forward --remove") == 2; }));
    EXPECT_TRUE(
        test::waitFor([&] { return h.link.count("-s USB2 forward tcp:0 tcp:27183") == 1; }));
}

TEST(Session, ReportsWhyNoPhoneIsChosenAndForgetsTheLastPhone) {
    SessionHarness h;
    h.link.adbPath.clear();
    Session& s = h.start();
    ASSERT_TRUE(h.waitForState(LinkState::NoAdb));
    {
        std::lock_guard<std::mutex> lock(h.link.lock());
        h.link.adbPath = L"adb";
        h.link.choice.unauthorized = true;
    }
    s.reconnect();  // cuts the 2 s pause short
    ASSERT_TRUE(h.waitForState(LinkState::Unauthorized));
    h.link.attach("USB1", "key1", "Pixel 7");
    ASSERT_TRUE(h.waitForState(LinkState::Ready));
    {
        std::lock_guard<std::mutex> lock(h.link.lock());
        h.link.choice = SessionPhoneChoice{};
        h.link.choice.adbMissing = true;
    }
    ASSERT_TRUE(h.waitForState(LinkState::NoAdb));
    const auto infos = h.phoneInfos();
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_TRUE(infos[0].known);
    EXPECT_FALSE(infos[1].known);  // the empty record once the phone is gone
}

// docs/phone-app.md §Time limits
TEST(Session, SilenceBreaksTheConnectionAndTheSessionReconnects) {
    SessionHarness h;  // the 4000 ms silence limit as shipped
    h.link.attach("USB1", "key1", "Pixel 7");
    h.start(true);
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    h.phone.answerPings = false;
    ASSERT_TRUE(test::waitFor([&] { return h.phone.count("closed") == 1; }));
    h.phone.answerPings = true;
    ASSERT_TRUE(test::waitFor(
        [&] { return h.phone.count("connect") == 2 && h.lastState() == LinkState::Live; }));
    EXPECT_EQ(h.states(),
              (std::vector<LinkState>{LinkState::Live, LinkState::WaitingForApp, LinkState::Live}));
    EXPECT_EQ(h.link.count("-s USB1 forward"), 2);  // re-forwarded after the lost connection
    EXPECT_NE(test::logText().find("session: stream ended (no data in time)"), std::string::npos);
}

TEST(Session, OverLongPayloadReconnectsButGarbageTypesDoNot) {
    SessionHarness h;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    s.setStreaming(true);
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    for (uint8_t type : {0, 7, 8, 10, 11, 12, 14, 99, 255}) h.phone.sendPacket(type, "x");
    h.phone.sendPacket(4, "short");
    sleepMs(200);
    EXPECT_EQ(h.lastState(), LinkState::Live);
    EXPECT_EQ(h.phone.count("connect"), 1);

    std::vector<uint8_t> header(16, 0);
    header[0] = 3;
    writeU32(header.data() + 4, kMaxPayloadSize + 1);
    h.phone.sendRaw(header);
    ASSERT_TRUE(test::waitFor(
        [&] { return h.phone.count("connect") == 2 && h.lastState() == LinkState::Live; }));
}

// docs/phone-app.md §Options, §Key frame request, §Input mode
TEST(Session, LiveControlsReachThePhoneAndStatisticsComeBack) {
    SessionHarness h;
    h.phone.clockOffsetUs = -5000000;
    h.link.attach("USB1", "key1", "Pixel 7");
    Session& s = h.start();
    int64_t pc = 0;
    EXPECT_FALSE(s.toPcTime(1, &pc));
    s.setStreaming(true);
    ASSERT_TRUE(h.waitForState(LinkState::Live));
    s.sendInputToggles(true, false, 7);
    s.requestKeyframe();
    s.sendOptions({{"bitrate", "8000000"}});
    ASSERT_TRUE(test::waitFor([&] { return h.phone.payloads(7).size() == 2; }));
    EXPECT_EQ(h.phone.payloads(12), (std::vector<std::string>{"keyboard=1\nmouse=0\nseq=7"}));
    EXPECT_EQ(h.phone.payloads(10), (std::vector<std::string>{""}));
    EXPECT_EQ(h.phone.payloads(7)[1], "bitrate=8000000");

    ASSERT_TRUE(test::waitFor([&] { return s.pongCount() >= 1; }));
    ASSERT_TRUE(s.toPcTime(nowMicros() - 5000000, &pc));
    EXPECT_LE(std::llabs(pc - nowMicros()), 50000);
    EXPECT_LT(s.smallestRoundTrip(), 1000000);

    const uint64_t bytes = s.takeBytesReceived();
    EXPECT_GE(bytes, 16u + 17 + 16 + 8);  // the hello and at least one pong
    EXPECT_LT(s.bytesReceived(), bytes);
}

TEST(Session, StopEndsTheThreadWithOrWithoutTellingThePhone) {
    for (bool sendStop : {true, false}) {
        SessionHarness h;
        h.link.attach("USB1", "key1", "Pixel 7");
        Session& s = h.start();
        s.setStreaming(true);
        ASSERT_TRUE(h.waitForState(LinkState::Live));
        s.stop(sendStop);
        EXPECT_EQ(h.lastState(), LinkState::Stopped);
        EXPECT_EQ(s.state(), LinkState::Stopped);
        ASSERT_TRUE(test::waitFor([&] { return h.phone.count("closed") == 1; }));
        EXPECT_EQ(h.phone.payloads(11).size(), sendStop ? 1u : 0u);
        // A stopped Session can start again.
        s.start();
        EXPECT_TRUE(h.waitForState(LinkState::Live));
    }
}

}  // namespace
}  // namespace tov
