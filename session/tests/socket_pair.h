// Two connected loopback sockets for tests that need a real connection.
#pragma once

#include <memory>

#include "platform/socket.h"

namespace tov::test {

struct SocketPair {
    std::unique_ptr<TcpSocket> pc;     // the Session's end
    std::unique_ptr<TcpSocket> phone;  // the far end

    static SocketPair open() {
        SocketPair pair;
        auto listener = TcpListener::listenLoopback(0);
        if (!listener) return pair;
        pair.pc = TcpSocket::connectLoopback(listener->port());
        if (pair.pc) pair.phone = listener->accept(5000);
        return pair;
    }
    bool ok() const { return pc && phone; }
};

}  // namespace tov::test
