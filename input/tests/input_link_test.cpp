#include "input/input_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "input/tests/link_harness.h"
#include "session/packet.h"

namespace tov {
namespace {

using test::eventually;
using test::HelperMessage;

bool has(const std::vector<std::wstring>& commands, const std::wstring& command) {
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

class InputLinkTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(helper.port(), 0); }
    void TearDown() override { link.stop(); }

    bool ready() {
        return eventually([&] { return link.state() == InputLink::kReady; });
    }
    std::vector<HelperMessage> waitCount(uint8_t type, size_t n) {
        helper.waitFor([&](const std::vector<HelperMessage>& all) {
            return std::count_if(all.begin(), all.end(), [&](const HelperMessage& m) {
                       return m.type == type;
                   }) >= static_cast<long>(n);
        });
        return helper.messagesOfType(type);
    }

    test::LogTap log;
    test::FakeHelper helper;
    test::FakePhoneSide phone;
    InputLinkTimings timings = test::fastTimings(helper.port());
    InputLink link{phone.link(), timings};
};

// docs/phone-app.md §Input helper greeting, §Processes, ports and sockets
TEST_F(InputLinkTest, StartsTheHelperForwardsAndBecomesReady) {
    EXPECT_EQ(link.state(), InputLink::kNoPhone);
    EXPECT_EQ(link.rttMs(), -1);
    link.start();
    link.start();  // already running: nothing more
    ASSERT_TRUE(ready());
    EXPECT_EQ(link.phoneSize().width, 1080);
    EXPECT_EQ(link.phoneSize().height, 2400);
    EXPECT_EQ(link.exact(), -1);
    EXPECT_EQ(phone.helperStarts(), 1);
    const auto commands = phone.commands();
    EXPECT_TRUE(has(commands, L"copy -s PHONE1 "));
    EXPECT_TRUE(has(commands,
                    L"start -s PHONE1 shell CLASSPATH=/data/local/tmp/tovenmar.apk "
                    L"app_process / com.tovenmar.app.input.InputServer"));
    EXPECT_TRUE(has(commands, L"-s PHONE1 forward tcp:" + std::to_wstring(helper.port()) +
                                  L" localabstract:tovenmar-input"));
    EXPECT_TRUE(log.waitForLine("input: started helper from /data/local/tmp/tovenmar.apk"));
    EXPECT_TRUE(log.waitForLine("input: ready"));

    link.stop();
    EXPECT_EQ(link.state(), InputLink::kNoPhone);
    EXPECT_EQ(link.rttMs(), -1);
    // The clean-up goes on on the link thread, without the caller.
    const std::wstring pkill = L"-s PHONE1 shell pkill -f com.tovenmar.app.input.InputServer";
    EXPECT_TRUE(eventually([&] { return !phone.helperAlive() && has(phone.commands(), pkill); }));
    // The link can be started again after a stop.
    link.start();
    ASSERT_TRUE(ready());
}

TEST_F(InputLinkTest, EventsArriveInOrderWithTouchMovesCollapsed) {
    link.start();
    ASSERT_TRUE(ready());
    link.touch(TouchAction::Down, 0, 0.25f, 0.5f);
    link.scroll(0.5f, 0.5f, 0, 0.5f);
    link.pressKey(4);
    link.androidKey(true, 29, 0x41, 3);
    link.hidKey(0x04, true);
    link.hidKey(0x04, false);
    link.touch(TouchAction::Up, 0, 0.25f, 0.5f);
    const auto all = waitCount(input_msg::kTouch, 2);
    std::vector<HelperMessage> events;
    for (const auto& m : helper.messages())
        if (m.type != input_msg::kPing) events.push_back(m);
    ASSERT_EQ(events.size(), 8u);
    const std::vector<uint8_t> types = {20, 21, 22, 22, 22, 33, 33, 20};
    for (size_t i = 0; i < types.size(); ++i) EXPECT_EQ(events[i].type, types[i]) << i;
    EXPECT_EQ(events[2].payload, (std::vector<uint8_t>{0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(events[3].payload[0], 1);  // the key-up of the press
    EXPECT_EQ(events[4].payload[10], 3);
    EXPECT_EQ(events[6].payload, (std::vector<uint8_t>{4, 0}));
}

TEST_F(InputLinkTest, AHugeMouseMoveArrivesAsFourClampedReports) {
    link.start();
    ASSERT_TRUE(ready());
    link.mouseMotion(0, 100000, -5, 0, 0);
    auto reports = waitCount(input_msg::kMouseReport, 4);
    ASSERT_EQ(reports.size(), 4u);
    std::vector<int16_t> dx;
    for (const auto& r : reports) dx.push_back(static_cast<int16_t>(readU16(&r.payload[1])));
    EXPECT_EQ(dx, (std::vector<int16_t>{32767, 32767, 32767, 1699}));
    EXPECT_EQ(static_cast<int16_t>(readU16(&reports[0].payload[3])), -5);
    EXPECT_EQ(static_cast<int16_t>(readU16(&reports[1].payload[3])), 0);
}

TEST_F(InputLinkTest, DeviceModeMessagesGoOutDirectly) {
    link.start();
    ASSERT_TRUE(ready());
    link.setMouseOptions(true, 2.5f);  // Touch mode: nothing to send
    link.setMode(3);
    link.setMode(3);  // unchanged: nothing
    auto on = waitCount(input_msg::kDeviceModeOn, 1);
    ASSERT_EQ(on.size(), 1u);
    EXPECT_EQ(on[0].payload, (std::vector<uint8_t>{3, 1, 0x09, 0xC4}));
    helper.send(input_msg::kMouseState, "exact=1");
    ASSERT_TRUE(eventually([&] { return link.exact() == 1; }));
    helper.send(input_msg::kMouseState, "exact=yes");
    ASSERT_TRUE(eventually([&] { return link.exact() == 0; }));
    link.setMouseOptions(true, 2.5f);   // unchanged
    link.setMouseOptions(false, 2.5f);  // changed with the mouse bit on: sent again
    on = waitCount(input_msg::kDeviceModeOn, 2);
    ASSERT_EQ(on.size(), 2u);
    EXPECT_EQ(on[1].payload[1], 0);
    link.setMode(2);  // keyboard only: the mouse's exact state is unknown again
    EXPECT_EQ(link.exact(), -1);
    link.setMouseOptions(true, 1.0f);  // no mouse bit: not sent
    link.setMode(0);
    waitCount(input_msg::kDeviceModeOff, 1);
    EXPECT_EQ(helper.messagesOfType(input_msg::kDeviceModeOn).size(), 3u);
    EXPECT_EQ(helper.messagesOfType(input_msg::kDeviceModeOff).size(), 1u);
}

TEST_F(InputLinkTest, ModeAndClipboardOptionsAreSentAgainOnEveryConnection) {
    link.setMode(1);  // before any connection: skipped silently
    link.setClipOptions("phoneToPc=1\npictures=0\npasswords=0");
    link.start();
    ASSERT_TRUE(ready());
    auto options = waitCount(input_msg::kClipOptions, 1);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(std::string(options[0].payload.begin(), options[0].payload.end()),
              "phoneToPc=1\npictures=0\npasswords=0");
    waitCount(input_msg::kDeviceModeOn, 1);
    link.setClipOptions("phoneToPc=1\npictures=0\npasswords=0");  // unchanged: not sent
    link.setClipOptions("phoneToPc=0\npictures=0\npasswords=0");
    waitCount(input_msg::kClipOptions, 2);

    helper.clearMessages();
    helper.dropConnection();
    ASSERT_TRUE(helper.waitForConnections(2));
    ASSERT_TRUE(ready());
    options = waitCount(input_msg::kClipOptions, 1);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options[0].payload[10], '0');
    EXPECT_EQ(waitCount(input_msg::kDeviceModeOn, 1).size(), 1u);
    EXPECT_EQ(phone.helperStarts(), 1);  // the helper still ran: only the connection was new
}

TEST_F(InputLinkTest, ClipItemsTravelInChunksOnlyWhileReady) {
    ClipItem item;
    item.kind = 1;
    item.mime = "text/plain";
    item.data.assign(70000, 'q');
    link.sendClip(item);  // not ready: dropped
    link.start();
    ASSERT_TRUE(ready());
    link.sendClip(item);
    auto chunks = waitCount(input_msg::kClipChunk, 3);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].payload.size(), 32768u);
    EXPECT_EQ(chunks[2].payload.size(), 70000u - 65536u);
    ASSERT_EQ(helper.messagesOfType(input_msg::kClipHeader).size(), 1u);
}

// docs/phone-app.md §Messages from the helper
TEST_F(InputLinkTest, PhoneClipboardItemsReachTheHandler) {
    std::mutex m;
    std::vector<ClipItem> got;
    link.setPhoneClipHandler([&](ClipItem item) {
        std::lock_guard<std::mutex> lock(m);
        got.push_back(std::move(item));
    });
    link.start();
    ASSERT_TRUE(ready());
    auto header = [](uint32_t total, const std::string& mime) {
        std::string h(6, '\0');
        h[0] = 1;
        h[1] = 1;
        writeU32(reinterpret_cast<uint8_t*>(h.data()) + 2, total);
        return h + mime;
    };
    helper.send(input_msg::kClipHeader, header(30 * 1000 * 1000, "text/plain"));  // too large
    helper.send(input_msg::kClipChunk, std::string(65536, 'z'));
    helper.send(input_msg::kClipHeader, header(0, "text/empty"));
    helper.send(input_msg::kClipHeader, header(6, "text/plain"));
    helper.send(input_msg::kClipChunk, "abc");
    helper.send(input_msg::kClipChunk, "defghi");
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> lock(m);
        return got.size() >= 2;
    }));
    std::lock_guard<std::mutex> lock(m);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].mime, "text/empty");
    EXPECT_TRUE(got[0].data.empty());
    EXPECT_EQ(got[1].data, "abcdef");
    EXPECT_TRUE(got[1].isPrivate);
    EXPECT_EQ(link.state(), InputLink::kReady);  // the large item did not end the connection
}

// docs/phone-app.md §Messages from the helper
TEST_F(InputLinkTest, ScreenSizeReportsAndOversizedMessages) {
    link.start();
    ASSERT_TRUE(ready());
    helper.send(input_msg::kScreenSize, "width=2400");  // both are needed
    helper.send(input_msg::kScreenSize, "width=2400\nheight=1080");
    ASSERT_TRUE(eventually([&] { return link.phoneSize().width == 2400; }));
    EXPECT_EQ(link.phoneSize().height, 1080);
    // A phone turning over and over: a reader never sees one size's width with the other's height.
    std::atomic<bool> turning{true};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (turning) {
            const ScreenSize size = link.phoneSize();
            if (size.width == size.height) ++torn;
        }
    });
#ifdef _WIN32
    constexpr int kTurns = 2000;  // every receive costs far more under Wine
#else
    constexpr int kTurns = 20000;
#endif
    std::vector<uint8_t> turns;
    for (int i = 0; i < kTurns; ++i) {
        const std::string size = i % 2 ? "width=2400\nheight=1080" : "width=1080\nheight=2400";
        const auto framed = frameMessage(input_msg::kScreenSize, size.data(), size.size());
        turns.insert(turns.end(), framed.begin(), framed.end());
    }
    EXPECT_TRUE(helper.sendRaw(turns));
    helper.send(input_msg::kScreenSize, "width=1\nheight=2");
    EXPECT_TRUE(eventually([&] { return link.phoneSize().width == 1; }, 60000));
    turning = false;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    helper.send(99, "ignored");
    // A report over 4,096 bytes ends the connection; the link connects again.
    helper.send(input_msg::kScreenSize, std::string(4097, 'w'));
    ASSERT_TRUE(helper.waitForConnections(2));
    EXPECT_TRUE(log.waitForLine("input: connection lost"));
    ASSERT_TRUE(ready());
    EXPECT_EQ(link.phoneSize().width, 1080);  // from the new hello
}

// docs/phone-app.md §Messages from the helper
TEST_F(InputLinkTest, TenPongsMakeOneRoundTripLine) {
    timings.pingIntervalMicros = 20000;
    InputLink fast(phone.link(), timings);
    fast.start();
    ASSERT_TRUE(eventually([&] { return fast.state() == InputLink::kReady; }));
    fast.mouseMotion(0, 1, 1, 0, 0);
    ASSERT_TRUE(log.waitForLine("input: round trip avg "));
    EXPECT_GE(fast.rttMs(), 0);
    EXPECT_TRUE(log.waitForLine(" ms; mouse: 1 moves in, 1 reports out"));
    // Counters start from zero for the next line.
    ASSERT_TRUE(eventually([&] { return log.count("input: round trip avg") >= 2; }));
    EXPECT_NE(log.text().find("mouse: 0 moves in, 0 reports out"), std::string::npos);
    EXPECT_GE(helper.messagesOfType(input_msg::kPing).size(), 20u);
    fast.stop();
}

// The port belongs to another program (here a helper that is not the phone's): while adb cannot
// forward it, nothing typed may go there.
TEST_F(InputLinkTest, WithoutItsForwardTheLinkConnectsToNothing) {
    phone.setForwardWorks(false);
    link.start();
    ASSERT_TRUE(
        log.waitForLine("input: cannot forward a local port to localabstract:tovenmar-input"));
    const std::wstring forward = L"-s PHONE1 forward tcp:" + std::to_wstring(helper.port()) +
                                 L" localabstract:tovenmar-input";
    ASSERT_TRUE(eventually([&] {
        const auto commands = phone.commands();
        return std::count(commands.begin(), commands.end(), forward) >= 3;
    }));
    EXPECT_EQ(helper.connections(), 0);
    EXPECT_EQ(link.state(), InputLink::kConnecting);
    EXPECT_EQ(log.count("input: cannot forward a local port to localabstract:tovenmar-input"), 1);
    phone.setForwardWorks(true);
    ASSERT_TRUE(ready());
}

// docs/phone-app.md §Input helper greeting
TEST_F(InputLinkTest, AWrongVersionIsLoggedAndTheHelperRestartedAfterThreeAttempts) {
    helper.setHello("version=10\nwidth=1\nheight=1");
    link.start();
    ASSERT_TRUE(log.waitForLine("input: helper version 10, expected 11"));
    ASSERT_TRUE(eventually([&] { return phone.helperStarts() >= 2; }));
    EXPECT_GE(helper.connections(), 3);
    EXPECT_EQ(link.state(), InputLink::kConnecting);
    EXPECT_EQ(link.phoneSize().width, 0);
    helper.setHello("version=11\nwidth=720\nheight=1280");
    ASSERT_TRUE(ready());
    EXPECT_EQ(link.phoneSize().width, 720);
}

TEST_F(InputLinkTest, AHelperThatDiesIsStartedAgain) {
    link.start();
    ASSERT_TRUE(ready());
    phone.killHelper();
    helper.dropConnection();
    ASSERT_TRUE(eventually([&] { return phone.helperStarts() == 2; }));
    ASSERT_TRUE(ready());
    EXPECT_TRUE(phone.helperAlive());
}

TEST_F(InputLinkTest, FollowsThePhoneAndReportsMissingPhonesAndCopies) {
    phone.setSerialArgs(L"");
    link.start();
    ASSERT_TRUE(eventually([&] { return phone.commands().empty() && link.state() == 0; }));
    phone.setCopyWorks(false);
    phone.setSerialArgs(L"-s PHONE1 ");
    ASSERT_TRUE(eventually([&] { return link.state() == InputLink::kHelperMissing; }));
    EXPECT_EQ(phone.helperStarts(), 0);
    phone.setCopyWorks(true);
    ASSERT_TRUE(ready());
    // The link notices the new phone once the old connection ends (the owner restarts the link
    // when the phone changes under a live connection).
    phone.setSerialArgs(L"-s PHONE2 ");
    helper.dropConnection();
    ASSERT_TRUE(log.waitForLine("input: moving to -s PHONE2 "));
    ASSERT_TRUE(eventually([&] { return phone.helperStarts() == 2; }));
    const auto commands = phone.commands();
    EXPECT_TRUE(has(commands, L"-s PHONE1 shell pkill -f com.tovenmar.app.input.InputServer"));
    EXPECT_TRUE(has(commands, L"copy -s PHONE2 "));
    ASSERT_TRUE(ready());
}

}  // namespace
}  // namespace tov
