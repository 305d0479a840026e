// Handshake, receive loop, pings and clock sync against a fake phone over loopback.
#include "session/stream_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "fake_phone.h"
#include "platform/clock.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using test::FakePhone;

struct Harness {
    std::mutex mutex;
    std::vector<std::map<std::string, std::string>> hellos;
    std::vector<std::string> videos;
    SessionCallbacks callbacks;
    SessionWaiter waiter;
    StreamTimings timings;
    FakePhone phone;

    Harness() {
        callbacks.onHello = [this](const auto& m) {
            std::lock_guard<std::mutex> lock(mutex);
            hellos.push_back(m);
        };
        callbacks.onVideoPacket = [this](const uint8_t* d, size_t n, int64_t, bool) {
            std::lock_guard<std::mutex> lock(mutex);
            videos.emplace_back(reinterpret_cast<const char*>(d), n);
        };
    }
    size_t videoCount() {
        std::lock_guard<std::mutex> lock(mutex);
        return videos.size();
    }
};

// docs/phone-app.md §Handshake, §Options, §Hello
TEST(StreamConnection, HandshakeSendsTheOptionsFirstAndDeliversTheHello) {
    Harness h;
    ASSERT_TRUE(h.phone.listening());
    StreamConnection c(h.callbacks, h.waiter, h.timings);
    ASSERT_TRUE(c.open(h.phone.port()));
    ASSERT_TRUE(c.handshake({{"video", "1"}, {"decoders", "h264"}}));
    ASSERT_EQ(h.hellos.size(), 1u);
    EXPECT_EQ(h.hellos[0].at("device"), "Fake Phone");
    const auto events = h.phone.events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[1], "packet 7");
    EXPECT_EQ(h.phone.payloads(7).at(0), "decoders=h264\nvideo=1");
    EXPECT_TRUE(c.socket().connected());
    EXPECT_EQ(c.bytesReceived(), 16u + 17);  // the hello counts
}

// docs/phone-app.md §Hello
TEST(StreamConnection, AnEmptyHelloStillCompletesTheHandshake) {
    Harness h;
    h.phone.hello = FakePhone::Hello::Empty;
    StreamConnection c(h.callbacks, h.waiter, h.timings);
    ASSERT_TRUE(c.open(h.phone.port()));
    ASSERT_TRUE(c.handshake({}));
    ASSERT_EQ(h.hellos.size(), 1u);
    EXPECT_TRUE(h.hellos[0].empty());
}

// docs/phone-app.md §Handshake
TEST(StreamConnection, HandshakeFailsAndClosesWithoutAHelloFirst) {
    for (FakePhone::Hello mode : {FakePhone::Hello::None, FakePhone::Hello::WrongType}) {
        Harness h;  // the default 1500 ms wait for the hello
        h.phone.hello = mode;
        StreamConnection c(h.callbacks, h.waiter, h.timings);
        ASSERT_TRUE(c.open(h.phone.port()));
        EXPECT_FALSE(c.handshake({}));
        EXPECT_FALSE(c.socket().connected());
        EXPECT_TRUE(h.hellos.empty());
        EXPECT_TRUE(test::waitFor([&] { return h.phone.count("closed") == 1; }));
    }
}

TEST(StreamConnection, NothingReadAheadOnOneConnectionLeaksIntoTheNext) {
    Harness h;
    h.phone.videoWithHello = true;  // the frame after the hello arrives in the same read
    StreamConnection c(h.callbacks, h.waiter, h.timings);
    ASSERT_TRUE(c.open(h.phone.port()));
    ASSERT_TRUE(c.handshake({}));
    c.close();
    ASSERT_TRUE(test::waitFor([&] { return h.phone.count("closed") == 1; }));
    h.phone.videoWithHello = false;
    ASSERT_TRUE(c.open(h.phone.port()));
    EXPECT_TRUE(c.handshake({}));
    EXPECT_EQ(h.hellos.size(), 2u);
}

TEST(StreamConnection, OpenFailsWhenNothingListens) {
    uint16_t port;
    {
        FakePhone gone;
        port = gone.port();
    }
    Harness h;
    StreamConnection c(h.callbacks, h.waiter, h.timings);
    EXPECT_FALSE(c.open(port));
    EXPECT_FALSE(c.socket().connected());
}

// Runs the receive loop on its own thread, as the Session's loop thread would.
struct LiveLoop {
    Harness& h;
    StreamConnection connection;
    ReceiveStatus end = ReceiveStatus::Ok;
    std::atomic<bool> done{false};
    std::thread thread;

    explicit LiveLoop(Harness& harness)
        : h(harness), connection(h.callbacks, h.waiter, h.timings) {}
    bool start() {
        if (!connection.open(h.phone.port()) || !connection.handshake({})) return false;
        thread = std::thread([this] {
            end = connection.receiveLoop();
            done = true;
        });
        return true;
    }
    ~LiveLoop() {
        h.waiter.setStopping(true);
        connection.socket().shutdown();
        if (thread.joinable()) thread.join();
    }
};

// docs/phone-app.md §Time limits
TEST(StreamConnection, SilenceEndsTheLoopAndClosesTheSocket) {
    Harness h;
    h.timings.silenceTimeoutMs = 300;
    h.phone.answerPings = false;
    LiveLoop live(h);
    ASSERT_TRUE(live.start());
    ASSERT_TRUE(test::waitFor([&] { return live.done.load(); }));
    EXPECT_EQ(live.end, ReceiveStatus::TimedOut);
    EXPECT_FALSE(live.connection.socket().connected());
    EXPECT_TRUE(test::waitFor([&] { return h.phone.count("closed") == 1; }));
}

// docs/phone-app.md §Packet header, §Packet types
TEST(StreamConnection, OverLongPayloadEndsTheLoopButGarbageTypesAreOnlyDropped) {
    Harness h;
    LiveLoop live(h);
    ASSERT_TRUE(live.start());
    for (uint8_t type : {0, 7, 8, 10, 11, 12, 14, 200}) h.phone.sendPacket(type, "garbage!");
    h.phone.sendPacket(2, "short");  // a configuration under 8 bytes
    h.phone.sendPacket(9, "123");    // a pong of the wrong size
    h.phone.sendPacket(3, "still here");
    ASSERT_TRUE(test::waitFor([&] { return h.videoCount() == 1; }));
    EXPECT_FALSE(live.done.load());
    EXPECT_EQ(h.videos[0], "still here");

    // A header announcing 16 MiB + 1: the loop must end without waiting for the payload.
    std::vector<uint8_t> header(16, 0);
    header[0] = 3;
    writeU32(header.data() + 4, kMaxPayloadSize + 1);
    h.phone.sendRaw(header);
    ASSERT_TRUE(test::waitFor([&] { return live.done.load(); }));
    EXPECT_EQ(live.end, ReceiveStatus::TooLong);
}

TEST(StreamConnection, ShutdownFromAnotherThreadEndsTheLoop) {
    Harness h;
    LiveLoop live(h);
    ASSERT_TRUE(live.start());
    live.connection.socket().shutdown();
    ASSERT_TRUE(test::waitFor([&] { return live.done.load(); }));
    EXPECT_NE(live.end, ReceiveStatus::Ok);
}

// docs/phone-app.md §Ping
TEST(StreamConnection, PingsAreFastUntilFivePongsThenSlow) {
    Harness h;
    h.timings.ping.fastMs = 20;
    h.timings.ping.slowMs = 60000;
    LiveLoop live(h);
    ASSERT_TRUE(live.start());
    ASSERT_TRUE(test::waitFor([&] { return live.connection.clock().pongCount() >= 5; }));
    const size_t settled = h.phone.payloads(8).size();
    sleepMs(300);  // many fast intervals
    // The wait after the fifth ping may start before its pong is counted: one more fast ping.
    EXPECT_GE(settled, 5u);
    EXPECT_LE(h.phone.payloads(8).size(), 6u);
    for (const std::string& ping : h.phone.payloads(8)) EXPECT_EQ(ping.size(), 8u);
}

// docs/phone-app.md §Ping
TEST(StreamConnection, PingsStayFastWhileNoPongsComeBack) {
    Harness h;
    h.timings.ping.fastMs = 10;
    h.timings.ping.slowMs = 60000;
    h.phone.answerPings = false;
    LiveLoop live(h);
    ASSERT_TRUE(live.start());
    EXPECT_TRUE(test::waitFor([&] { return h.phone.payloads(8).size() >= 10; }));
    EXPECT_FALSE(live.connection.clock().synced());
}

// docs/phone-app.md §Pong
TEST(StreamConnection, ClockOffsetLandsWithinAMillisecondOfThePhones) {
    Harness h;
    const int64_t offset = 123456789;
    h.phone.clockOffsetUs = offset;
    LiveLoop live(h);
    ASSERT_TRUE(live.start());
    ASSERT_TRUE(test::waitFor([&] { return live.connection.clock().pongCount() >= 5; }));
    const ClockSync& clock = live.connection.clock();
    ASSERT_TRUE(clock.synced());
    // Within a millisecond on a quiet loopback; a busy machine's slower round trips widen what
    // any exchange can tell, so the allowance follows the best one seen (read before the offset,
    // which only ever comes from a sample at least that fast plus the slack).
    const int64_t allowance =
        std::max<int64_t>(1000, ClockSync::uncertaintyFor(clock.smallestRoundTrip()));
    EXPECT_LE(std::llabs(clock.offset() - offset), allowance);
    const int64_t pcNow = nowMicros();
    int64_t pc = 0;
    ASSERT_TRUE(clock.toPcTime(pcNow + offset, &pc));
    EXPECT_LE(std::llabs(pc - pcNow), allowance);
}

}  // namespace
}  // namespace tov
