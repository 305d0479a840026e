#include "session/packet.h"

#include <cstring>

namespace tov {

uint16_t readU16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t readU32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint64_t readU64(const uint8_t* p) {
    return (uint64_t{readU32(p)} << 32) | readU32(p + 4);
}

void writeU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

void writeU64(uint8_t* p, uint64_t v) {
    writeU32(p, static_cast<uint32_t>(v >> 32));
    writeU32(p + 4, static_cast<uint32_t>(v));
}

void encodeHeader(const PacketHeader& header, uint8_t out[kPacketHeaderSize]) {
    out[0] = header.type;
    out[1] = header.flags;
    out[2] = 0;
    out[3] = 0;
    writeU32(out + 4, header.length);
    writeU64(out + 8, static_cast<uint64_t>(header.timestamp));
}

PacketHeader decodeHeader(const uint8_t in[kPacketHeaderSize]) {
    PacketHeader h;
    h.type = in[0];
    h.flags = in[1];
    h.length = readU32(in + 4);
    h.timestamp = static_cast<int64_t>(readU64(in + 8));
    return h;
}

std::vector<uint8_t> buildOutgoingPacket(PacketType type, const void* payload, size_t size) {
    std::vector<uint8_t> out(kPacketHeaderSize + size);
    PacketHeader h;
    h.type = static_cast<uint8_t>(type);
    h.length = static_cast<uint32_t>(size);
    encodeHeader(h, out.data());
    if (size > 0) std::memcpy(out.data() + kPacketHeaderSize, payload, size);
    return out;
}

}  // namespace tov
