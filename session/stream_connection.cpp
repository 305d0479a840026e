#include "session/stream_connection.h"

#include "platform/clock.h"
#include "session/packet_dispatch.h"

namespace tov {

const char* receiveStatusText(ReceiveStatus status) {
    switch (status) {
        case ReceiveStatus::Ok:
            return "ok";
        case ReceiveStatus::Closed:
            return "closed by the phone";
        case ReceiveStatus::TimedOut:
            return "no data in time";
        case ReceiveStatus::Failed:
            return "receive failed";
        case ReceiveStatus::TooLong:
            return "payload over the size limit";
    }
    return "?";
}

StreamConnection::StreamConnection(const SessionCallbacks& callbacks, SessionWaiter& waiter,
                                   const StreamTimings& timings)
    : callbacks_(callbacks), waiter_(waiter), timings_(timings) {}

bool StreamConnection::open(uint16_t port) {
    std::shared_ptr<TcpSocket> socket = TcpSocket::connectLoopback(port);
    if (!socket) return false;
    socket->setNoDelay(true);
    socket->setReceiveBufferSize(kReceiveBufferSize);
    socket->setSendTimeout(timings_.sendTimeoutMs);
    reader_.reset();  // nothing read ahead on the last connection belongs to this one
    socket_.set(std::move(socket));
    return true;
}

bool StreamConnection::handshake(const TextMap& options) {
    const std::shared_ptr<TcpSocket> socket = socket_.get();
    if (!socket) return false;
    socket_.send(PacketType::Options, options);
    socket->setReceiveTimeout(timings_.helloTimeoutMs);
    Packet hello;
    if (reader_.receive(*socket, hello) != ReceiveStatus::Ok ||
        hello.header.type != static_cast<uint8_t>(PacketType::Hello)) {
        socket_.close();
        return false;
    }
    dispatch(hello, callbacks_, clock_, nowMicros());
    return true;
}

ReceiveStatus StreamConnection::receiveLoop() {
    const std::shared_ptr<TcpSocket> socket = socket_.get();
    if (!socket) return ReceiveStatus::Closed;
    socket->setReceiveTimeout(timings_.silenceTimeoutMs);
    clock_.reset();
    pinger_.start(timings_.ping);
    ReceiveStatus status = ReceiveStatus::Ok;
    Packet packet;
    while (!waiter_.stopping()) {
        status = reader_.receive(*socket, packet);
        if (status != ReceiveStatus::Ok) break;
        dispatch(packet, callbacks_, clock_, nowMicros());
    }
    pinger_.stop();
    socket_.close();
    return status;
}

}  // namespace tov
