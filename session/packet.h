// Stream packets: a 16-byte header followed by the payload; numbers are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tov {

enum class PacketType : uint8_t {
    Hello = 1,
    VideoConfig = 2,
    Video = 3,
    AudioConfig = 4,
    Audio = 5,
    StreamState = 6,
    Options = 7,
    Ping = 8,
    Pong = 9,
    KeyframeRequest = 10,
    Stop = 11,
    InputMode = 12,
    InputState = 13,
};

constexpr size_t kPacketHeaderSize = 16;
// Exactly this much is accepted; one byte more ends the connection.
constexpr uint32_t kMaxPayloadSize = 16u * 1024 * 1024;
constexpr uint8_t kKeyFrameFlag = 0x01;

struct PacketHeader {
    uint8_t type = 0;
    uint8_t flags = 0;
    uint32_t length = 0;
    int64_t timestamp = 0;
};

// A received packet. The payload buffer belongs to the reader and is reused for every packet, so
// `payload` is only valid until the next receive.
struct Packet {
    PacketHeader header;
    const uint8_t* payload = nullptr;
    size_t size = 0;
};

// The reserved bytes are always written as zero.
void encodeHeader(const PacketHeader& header, uint8_t out[kPacketHeaderSize]);
// The reserved bytes are ignored.
PacketHeader decodeHeader(const uint8_t in[kPacketHeaderSize]);

// Header (type, zero flags, length, zero time stamp) and payload in one buffer, as it goes out.
std::vector<uint8_t> buildOutgoingPacket(PacketType type, const void* payload, size_t size);

uint16_t readU16(const uint8_t* p);
uint32_t readU32(const uint8_t* p);
uint64_t readU64(const uint8_t* p);
void writeU32(uint8_t* p, uint32_t v);
void writeU64(uint8_t* p, uint64_t v);

}  // namespace tov
