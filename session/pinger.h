// The ping thread of one live connection: a ping every 200 ms until five pongs came back, then
// one a second, so the clock offset settles fast and the phone always has something to answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "session/clock_sync.h"
#include "session/session_waiter.h"
#include "session/stream_socket.h"

namespace tov {

struct PingIntervals {
    uint32_t fastMs = 200;
    uint32_t slowMs = 1000;
    uint32_t fastPongs = 5;
};

class Pinger {
  public:
    Pinger(StreamSocket& socket, const ClockSync& clock, SessionWaiter& waiter)
        : socket_(socket), clock_(clock), waiter_(waiter) {}
    ~Pinger() { stop(); }
    Pinger(const Pinger&) = delete;
    Pinger& operator=(const Pinger&) = delete;

    void start(const PingIntervals& intervals);
    // Clears the running flag, wakes the thread and joins it.
    void stop();

  private:
    void run(PingIntervals intervals);

    StreamSocket& socket_;
    const ClockSync& clock_;
    SessionWaiter& waiter_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace tov
