#include "tools/phonesim/phone_sender.h"

#include "session/packet.h"
#include "tools/phonesim/shaped_link.h"

namespace tov::phonesim {

bool PhoneSender::send(uint8_t type, const std::string& payload, uint8_t flags, int64_t timestamp) {
    PacketHeader header;
    header.type = type;
    header.flags = flags;
    header.length = static_cast<uint32_t>(payload.size());
    header.timestamp = timestamp;
    std::string bytes(kPacketHeaderSize, '\0');
    encodeHeader(header, reinterpret_cast<uint8_t*>(bytes.data()));
    bytes += payload;
    return sendRaw(bytes);
}

bool PhoneSender::sendRaw(const std::string& bytes) {
    if (link_) return link_->send(bytes);
    std::lock_guard lock(mutex_);
    if (socket_.sendAll(bytes.data(), bytes.size())) return true;
    socket_.shutdown();
    return false;
}

}  // namespace tov::phonesim
