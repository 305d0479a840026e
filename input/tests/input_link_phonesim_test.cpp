// The input link against the phone simulator's adb and input helper: the real adb runner, a real
// forward and the helper's own record of what arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "input/input_link.h"
#include "input/tests/link_harness.h"
#include "phone/app_installer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/control_client.h"

namespace tov {
namespace {

using test::eventually;

// A loopback port nobody listens on right now, so parallel runs do not share the forward.
uint16_t freePort() {
    auto listener = TcpListener::listenLoopback(0);
    return listener ? listener->port() : 27184;
}

class InputLinkOnSimulator : public ::testing::Test {
  protected:
    void SetUp() override {
        // The phone already holds a helper package, as the installer would have left it.
        const std::wstring package = packageDir.file(L"tovenmar.apk");
        ASSERT_TRUE(writeFile(package, "a stand-in package"));
        std::string error;
        ASSERT_TRUE(
            sim.start("phone a usb=SIM1 screen=720x1600 helper=" + narrow(package) + "\n", &error))
            << error;
        timings.port = freePort();
        InputPhoneLink phone =
            inputPhoneLinkOverAdb([] { return std::wstring(L"-s SIM1 "); },
                                  [](const std::wstring&, const std::wstring&) { return true; });
        link = std::make_unique<InputLink>(std::move(phone), timings);
        link->setPhoneClipHandler([this](ClipItem item) {
            std::lock_guard<std::mutex> lock(mutex);
            clips.push_back(std::move(item));
        });
    }
    void TearDown() override {
        link.reset();
        sim.stop();
    }
    bool ready() {
        return eventually([&] { return link->state() == InputLink::kReady; }, 15000);
    }
    std::string diagnosis() {
        std::string text = "log:\n" + log.text() + "adb commands:\n";
        for (const auto& c : sim.commands()) text += c + "\n";
        return text;
    }
    std::vector<std::string> eventsStarting(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& e : sim.events("a"))
            if (e.rfind(prefix, 0) == 0) out.push_back(e);
        return out;
    }

    test::LogTap log;
    test::TempDir packageDir;
    phonesim::PhoneSimulator sim;
    InputLinkTimings timings = test::fastTimings(0);
    std::unique_ptr<InputLink> link;
    std::mutex mutex;
    std::vector<ClipItem> clips;
};

TEST_F(InputLinkOnSimulator, EventsReachTheHelperAndPhoneClipsComeBack) {
    link->start();
    ASSERT_TRUE(ready()) << diagnosis();
    EXPECT_EQ(link->phoneSize().width, 720);
    EXPECT_EQ(link->phoneSize().height, 1600);
    link->touch(TouchAction::Down, 0, 0.5f, 1.0f);
    link->mouseMotion(0, 100000, 0, 0, 0);
    link->mouseMotion(1, 0, 0, 0, 0);
    ASSERT_TRUE(eventually([&] { return eventsStarting("mouse ").size() >= 5; }));
    EXPECT_EQ(eventsStarting("touch "),
              (std::vector<std::string>{"touch action=0 pointer=0 x=32768 y=65535"}));
    // The button press sent the pending motion with the old buttons first.
    EXPECT_EQ(eventsStarting("mouse "),
              (std::vector<std::string>{"mouse buttons=0 dx=32767 dy=0 wheel=0 hwheel=0",
                                        "mouse buttons=0 dx=32767 dy=0 wheel=0 hwheel=0",
                                        "mouse buttons=0 dx=32767 dy=0 wheel=0 hwheel=0",
                                        "mouse buttons=0 dx=1699 dy=0 wheel=0 hwheel=0",
                                        "mouse buttons=1 dx=0 dy=0 wheel=0 hwheel=0"}));
    link->setMode(1);
    ASSERT_TRUE(eventually([&] { return link->exact() == 0; }));  // no exact mouse asked for
    link->setMouseOptions(true, 1.5f);
    ASSERT_TRUE(eventually([&] { return link->exact() == 1; }));
    EXPECT_EQ(eventsStarting("devicemode "),
              (std::vector<std::string>{"devicemode bits=1 exact=0 speed=1000",
                                        "devicemode bits=1 exact=1 speed=1500"}));

    ClipItem picture;
    picture.kind = 2;
    picture.mime = "image/png";
    picture.data.assign(40000, '\x89');
    link->sendClip(picture);
    ASSERT_TRUE(eventually([&] { return !sim.clips("a").empty(); }));
    const auto received = sim.clips("a");
    EXPECT_EQ(received[0].kind, 2);
    EXPECT_EQ(received[0].mime, "image/png");
    EXPECT_EQ(received[0].data, picture.data);
    EXPECT_EQ(eventsStarting("clipchunk ").size(), 2u);

    ASSERT_TRUE(sim.ok("putclip a text/plain hello"));
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !clips.empty();
    }));
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(clips[0].mime, "text/plain");
    EXPECT_EQ(clips[0].data, "hello");
}

TEST_F(InputLinkOnSimulator, ADeadOrOutdatedHelperIsStartedAgain) {
    link->start();
    ASSERT_TRUE(ready());
    ASSERT_TRUE(sim.ok("phone a helperVersion=10"));
    ASSERT_TRUE(sim.ok("helper a kill"));
    ASSERT_TRUE(log.waitForLine("input: helper version 10, expected 11", 15000));
    // Three refused connections, then a fresh helper (still version 10) and more attempts.
    ASSERT_TRUE(eventually([&] { return log.count("input: started helper from") >= 3; }, 15000));
    EXPECT_GE(log.count("input: helper version 10, expected 11"), 3);
    ASSERT_TRUE(sim.ok("phone a helperVersion=11"));
    ASSERT_TRUE(ready());
    link->stop();
    EXPECT_EQ(link->state(), InputLink::kNoPhone);
    const auto commands = sim.commands();
    EXPECT_NE(std::find_if(commands.begin(), commands.end(),
                           [](const std::string& c) {
                               return c.find("pkill -f com.tovenmar.app.input.InputServer") !=
                                      std::string::npos;
                           }),
              commands.end());
}

size_t countContaining(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(part) != std::string::npos;
    }));
}

TEST_F(InputLinkOnSimulator, StoppingAndClosingDoNotWaitForAStalledAdb) {
    // The helper package must be pushed first (the phone holds another), and adb stalls on the
    // push (a 60 s limit) and on the helper's clean-up (10 s): the calls of a phone that hangs.
    AppInstaller::Options copying;
    copying.loadPackage = [] { return std::string("the carried package"); };
    copying.copyFolder = packageDir.path();
    AppInstaller installer(copying);
    link = std::make_unique<InputLink>(
        inputPhoneLinkOverAdb([] { return std::wstring(L"-s SIM1 "); },
                              [&](const std::wstring& adb, const std::wstring& prefix) {
                                  return installer.copyHelper(adb, prefix);
                              }),
        timings);
    ASSERT_TRUE(sim.ok("hang push"));
    link->start();
    ASSERT_TRUE(eventually([&] { return countContaining(sim.commands(), " push ") == 1; }, 15000))
        << diagnosis();
    ASSERT_TRUE(sim.ok("hang shell pkill"));

    // Stopping (the user turning sharing off) returns at once: the push is cut short and the
    // clean-up goes on without the caller. Starting again right away waits for nothing either.
    const uint64_t before = tickMs();
    link->stop();
    EXPECT_EQ(link->state(), InputLink::kNoPhone);
    link->start();
    EXPECT_TRUE(link->running());
    const uint64_t stopped = tickMs() - before;
    // Closing cuts the stalled clean-up short after a short grace.
    link.reset();
    const uint64_t closed = tickMs() - before;
    // Well before the stall would have ended (the push alone is allowed 60 s).
    EXPECT_LT(stopped, 30000u);
    EXPECT_LT(closed, 30000u);
    EXPECT_EQ(countContaining(sim.commands(), " push "), 1u);
}

}  // namespace
}  // namespace tov
