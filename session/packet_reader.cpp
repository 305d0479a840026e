#include "session/packet_reader.h"

#include <algorithm>
#include <cstring>

namespace tov {

namespace {

ReceiveStatus toStatus(RecvStatus s) {
    switch (s) {
        case RecvStatus::Data:
            return ReceiveStatus::Ok;
        case RecvStatus::Closed:
            return ReceiveStatus::Closed;
        case RecvStatus::TimedOut:
            return ReceiveStatus::TimedOut;
        case RecvStatus::Failed:
            break;
    }
    return ReceiveStatus::Failed;
}

}  // namespace

ReceiveStatus PacketReader::fill(TcpSocket& socket, size_t need) {
    if (end_ - begin_ >= need) return ReceiveStatus::Ok;
    // Only the unread part of one packet is ever moved to the front.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    // resize() never gives memory back, so the buffer settles at the largest packet seen.
    if (buffer_.size() < std::max(need, kMaxReadSize)) buffer_.resize(std::max(need, kMaxReadSize));
    while (end_ < need) {
        const size_t room = std::min(buffer_.size() - end_, kMaxReadSize);
        const RecvResult r = socket.receive(buffer_.data() + end_, room);
        if (r.status != RecvStatus::Data) return toStatus(r.status);
        end_ += r.bytes;
    }
    return ReceiveStatus::Ok;
}

ReceiveStatus PacketReader::receive(TcpSocket& socket, Packet& packet) {
    ReceiveStatus s = fill(socket, kPacketHeaderSize);
    if (s != ReceiveStatus::Ok) return s;
    packet.header = decodeHeader(buffer_.data() + begin_);
    const uint32_t length = packet.header.length;
    if (length > kMaxPayloadSize) return ReceiveStatus::TooLong;
    s = fill(socket, kPacketHeaderSize + length);
    if (s != ReceiveStatus::Ok) return s;
    packet.payload = buffer_.data() + begin_ + kPacketHeaderSize;
    packet.size = length;
    begin_ += kPacketHeaderSize + length;
    if (bytesReceived_) {
        bytesReceived_->fetch_add(kPacketHeaderSize + length, std::memory_order_relaxed);
    }
    return ReceiveStatus::Ok;
}

}  // namespace tov
