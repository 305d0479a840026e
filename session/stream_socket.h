// The stream socket shared between the loop thread (which sets and closes it), the ping thread and
// any App thread (which send on it or shut it down).
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/socket.h"
#include "session/packet.h"
#include "session/text_map.h"

namespace tov {

class StreamSocket {
  public:
    void set(std::shared_ptr<TcpSocket> socket);
    // Shuts the socket down and forgets it; a sender still holding it sees its send fail.
    void close();
    // Ends both directions without forgetting it: a receive blocked on the loop thread fails.
    void shutdown();
    std::shared_ptr<TcpSocket> get() const;
    bool connected() const { return get() != nullptr; }

    // One whole packet (header with zero flags and time stamp, then the payload). False when
    // there is no socket, the payload is over the size limit or the send failed; a failed send
    // shuts the connection down.
    bool send(PacketType type, const void* payload, size_t size);
    bool send(PacketType type, const TextMap& map);
    // A packet with no payload that ends what this connection carries (the stop): a ping or any
    // other send from another thread after it fails, until the next socket is set.
    bool sendLast(PacketType type);

  private:
    bool sendLocked(const std::vector<uint8_t>& packet);

    mutable std::mutex socketMutex_;
    std::shared_ptr<TcpSocket> socket_;
    // Keeps packets from different threads from interleaving.
    std::mutex sendMutex_;
    bool ended_ = false;  // guarded by sendMutex_
};

}  // namespace tov
