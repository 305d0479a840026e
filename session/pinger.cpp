#include "session/pinger.h"

#include "platform/clock.h"

namespace tov {

void Pinger::start(const PingIntervals& intervals) {
    stop();
    running_.store(true);
    thread_ = std::thread([this, intervals] { run(intervals); });
}

void Pinger::stop() {
    running_.store(false);
    waiter_.notify();
    if (thread_.joinable()) thread_.join();
}

void Pinger::run(PingIntervals intervals) {
    while (running_.load() && !waiter_.stopping()) {
        uint8_t payload[8];
        writeU64(payload, static_cast<uint64_t>(nowMicros()));
        socket_.send(PacketType::Ping, payload, sizeof payload);
        const uint32_t ms =
            clock_.pongCount() < intervals.fastPongs ? intervals.fastMs : intervals.slowMs;
        waiter_.waitFor(ms, [this] { return !running_.load(); });
    }
}

}  // namespace tov
