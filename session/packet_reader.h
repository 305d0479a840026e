// Reads whole packets from the stream socket. Reads ask for as much as the buffer can take (at
// most 1 MiB), so a burst of small packets costs one read, not two per packet. The buffer is
// reused for every packet and only ever grows, so a steady stream costs no allocation.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/socket.h"
#include "session/packet.h"

namespace tov {

enum class ReceiveStatus { Ok, Closed, TimedOut, Failed, TooLong };

class PacketReader {
  public:
    // Each socket read asks for at most this much.
    static constexpr size_t kMaxReadSize = 1024 * 1024;

    // `bytesReceived` (may be null) grows by 16 + length for every packet read whole.
    explicit PacketReader(std::atomic<uint64_t>* bytesReceived = nullptr)
        : bytesReceived_(bytesReceived) {}

    // Reads the next packet; `packet.payload` stays valid until the next call.
    ReceiveStatus receive(TcpSocket& socket, Packet& packet);
    // Forgets bytes read ahead; for a new connection.
    void reset() { begin_ = end_ = 0; }

    size_t bufferSize() const { return buffer_.size(); }

  private:
    // Makes `need` unread bytes available at begin_.
    ReceiveStatus fill(TcpSocket& socket, size_t need);

    std::atomic<uint64_t>* bytesReceived_;
    std::vector<uint8_t> buffer_;
    size_t begin_ = 0;  // first unread byte
    size_t end_ = 0;    // one past the last byte read
};

}  // namespace tov
