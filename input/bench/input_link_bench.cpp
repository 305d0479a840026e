// How fast the input link carries events to the helper, against a bare socket send in the same
// run, and how it paces a flood of raw mouse motion.
//
//   input_link_bench [events per round] [flood seconds] [raw moves per second]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "input/input_link.h"
#include "input/tests/fake_helper.h"
#include "input/tests/link_harness.h"
#include "platform/clock.h"
#include "session/packet.h"

namespace tov {
namespace {

struct Spread {
    double median = 0;
    double p99 = 0;
};

Spread spread(std::vector<int64_t> micros) {
    std::sort(micros.begin(), micros.end());
    if (micros.empty()) return {};
    return {static_cast<double>(micros[micros.size() / 2]),
            static_cast<double>(micros[std::min(micros.size() - 1, micros.size() * 99 / 100)])};
}

// Waits until the helper holds `count` messages of `type`.
bool arrived(test::FakeHelper& helper, uint8_t type, size_t count) {
    return helper.waitFor([&](const std::vector<test::HelperMessage>& all) {
        return static_cast<size_t>(std::count_if(
                   all.begin(), all.end(), [&](const auto& m) { return m.type == type; })) >= count;
    });
}

// From the call to the bytes arriving at the helper, one event at a time.
std::vector<int64_t> linkLatencies(InputLink& link, test::FakeHelper& helper, int events) {
    std::vector<int64_t> out;
    helper.clearMessages();
    for (int i = 0; i < events; ++i) {
        const int64_t start = nowMicros();
        link.touch(i % 2 ? TouchAction::Up : TouchAction::Down, 0, 0.5f, 0.5f);
        if (!arrived(helper, input_msg::kTouch, static_cast<size_t>(i + 1))) break;
        out.push_back(helper.messagesOfType(input_msg::kTouch).back().arrivedMicros - start);
    }
    return out;
}

// The same message written straight to a connected socket.
std::vector<int64_t> bareLatencies(test::FakeHelper& helper, int events) {
    std::vector<int64_t> out;
    auto socket = TcpSocket::connectLoopback(helper.port());
    if (!socket) return out;
    socket->setNoDelay(true);
    if (!helper.waitForConnections(helper.connections())) return out;
    helper.clearMessages();
    const std::vector<uint8_t> frame = frameRecord(touchRecord(TouchAction::Down, 0, 0.5f, 0.5f));
    for (int i = 0; i < events; ++i) {
        const int64_t start = nowMicros();
        socket->sendAll(frame.data(), frame.size());
        if (!arrived(helper, input_msg::kTouch, static_cast<size_t>(i + 1))) break;
        out.push_back(helper.messagesOfType(input_msg::kTouch).back().arrivedMicros - start);
    }
    socket->shutdown();
    return out;
}

}  // namespace
}  // namespace tov

int main(int argc, char** argv) {
    using namespace tov;
    const int events = argc > 1 ? std::atoi(argv[1]) : 2000;
    const double floodSeconds = argc > 2 ? std::atof(argv[2]) : 2.0;
    // 8,000 a second is the fastest gaming mouse's report rate.
    const double moveRate = argc > 3 ? std::atof(argv[3]) : 8000.0;
    initSockets();

    test::FakeHelper helper;
    test::FakePhoneSide phone;
    InputLinkTimings timings = test::fastTimings(helper.port());
    timings.pingIntervalMicros = 1000000LL * 3600;  // no pings in the measurements
    InputLink link(phone.link(), timings);
    link.start();
    if (!test::eventually([&] { return link.state() == InputLink::kReady; })) {
        std::fprintf(stderr, "the link did not become ready\n");
        return 1;
    }

    // Alternate rounds so that load from elsewhere falls on both alike.
    std::vector<int64_t> viaLink, bare;
    for (int round = 0; round < 4; ++round) {
        auto a = linkLatencies(link, helper, events / 4);
        viaLink.insert(viaLink.end(), a.begin(), a.end());
        link.stop();  // the bare sender takes the helper's one connection
        auto b = bareLatencies(helper, events / 4);
        bare.insert(bare.end(), b.begin(), b.end());
        link.start();
        test::eventually([&] { return link.state() == InputLink::kReady; });
    }
    const Spread l = spread(viaLink), b = spread(bare);
    std::printf("touch to helper, %zu events: median %.0f us, p99 %.0f us\n", viaLink.size(),
                l.median, l.p99);
    std::printf("bare socket send, %zu events: median %.0f us, p99 %.0f us\n", bare.size(),
                b.median, b.p99);
    if (b.median > 0 && b.p99 > 0)
        std::printf("link / bare: median %.2fx, p99 %.2fx\n", l.median / b.median, l.p99 / b.p99);

    // A flood of raw moves from one thread for a while.
    helper.clearMessages();
    int64_t moves = 0;
    const int64_t start = nowMicros();
    const int64_t end = start + static_cast<int64_t>(floodSeconds * 1e6);
    for (int64_t now = start; now < end; now = nowMicros()) {
        const int64_t due = static_cast<int64_t>((now - start) * moveRate / 1e6);
        for (; moves < due; ++moves) link.mouseMotion(0, 1, -1, 0, 0);
        std::this_thread::yield();
    }
    // Let the last reports arrive: every move must be in them.
    auto reportedDx = [&] {
        int64_t sum = 0;
        for (const auto& r : helper.messagesOfType(input_msg::kMouseReport))
            sum += static_cast<int16_t>(readU16(&r.payload[1]));
        return sum;
    };
    test::eventually([&] { return reportedDx() == moves; }, 2000);
    const auto reports = helper.messagesOfType(input_msg::kMouseReport);
    int64_t sumDx = 0;
    std::vector<int64_t> gaps;
    for (size_t i = 0; i < reports.size(); ++i) {
        sumDx += static_cast<int16_t>(readU16(&reports[i].payload[1]));
        if (i > 0) gaps.push_back(reports[i].arrivedMicros - reports[i - 1].arrivedMicros);
    }
    const double seconds = floodSeconds;
    // Arrival gaps also hold the receiver's own scheduling; the sender paces its sends.
    std::printf(
        "flood: %lld moves (%.0f per s) -> %zu reports (%.0f per s, pacing allows %lld); "
        "every move counted: %s; median gap between arrivals %.0f us\n",
        static_cast<long long>(moves), moves / seconds, reports.size(), reports.size() / seconds,
        static_cast<long long>(1000000 / kReportIntervalMicros), sumDx == moves ? "yes" : "no",
        spread(gaps).median);
    link.stop();
    return 0;
}
