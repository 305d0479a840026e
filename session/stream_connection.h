// One stream connection at a time: connect, handshake, receive loop with its ping thread, close.
#pragma once

#include <atomic>
#include <cstdint>

#include "session/clock_sync.h"
#include "session/packet_reader.h"
#include "session/pinger.h"
#include "session/session_callbacks.h"
#include "session/session_waiter.h"
#include "session/stream_socket.h"
#include "session/text_map.h"

namespace tov {

struct StreamTimings {
    uint32_t helloTimeoutMs = 1500;
    uint32_t silenceTimeoutMs = 4000;
    // A phone that takes nothing for this long is as gone as a silent one; without a limit a
    // sender (the App's thread among them) could block for good.
    uint32_t sendTimeoutMs = 4000;
    PingIntervals ping;
};

class StreamConnection {
  public:
    static constexpr int kReceiveBufferSize = 4 * 1024 * 1024;

    StreamConnection(const SessionCallbacks& callbacks, SessionWaiter& waiter,
                     const StreamTimings& timings);

    // Connects to 127.0.0.1:port and keeps the socket where other threads can shut it down.
    bool open(uint16_t port);
    // Sends the options and waits for the hello, which is dispatched. On failure the socket is
    // closed.
    bool handshake(const TextMap& options);
    // Receives and dispatches until the connection ends or the Session stops; then closes.
    ReceiveStatus receiveLoop();
    void close() { socket_.close(); }

    StreamSocket& socket() { return socket_; }
    const ClockSync& clock() const { return clock_; }
    uint64_t bytesReceived() const { return bytesReceived_.load(); }
    uint64_t takeBytesReceived() { return bytesReceived_.exchange(0); }

  private:
    const SessionCallbacks& callbacks_;
    SessionWaiter& waiter_;
    StreamTimings timings_;
    StreamSocket socket_;
    ClockSync clock_;
    std::atomic<uint64_t> bytesReceived_{0};
    PacketReader reader_{&bytesReceived_};
    Pinger pinger_{socket_, clock_, waiter_};
};

const char* receiveStatusText(ReceiveStatus status);

}  // namespace tov
