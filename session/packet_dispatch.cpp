#include "session/packet_dispatch.h"

#include <algorithm>

#include "session/text_map.h"

namespace tov {

namespace {

constexpr size_t kConfigHeaderSize = 8;
constexpr size_t kPongSize = 8;

using MapCallback = std::function<void(const std::map<std::string, std::string>&)>;

bool deliverMap(const Packet& packet, const MapCallback& callback) {
    if (!callback) return false;
    callback(readTextMap(reinterpret_cast<const char*>(packet.payload), packet.size));
    return true;
}

}  // namespace

bool dispatch(const Packet& packet, const SessionCallbacks& callbacks, ClockSync& clock,
              int64_t nowPc) {
    const uint8_t* p = packet.payload;
    switch (static_cast<PacketType>(packet.header.type)) {
        case PacketType::Hello:
            return deliverMap(packet, callbacks.onHello);
        case PacketType::StreamState:
            return deliverMap(packet, callbacks.onStreamState);
        case PacketType::InputState:
            return deliverMap(packet, callbacks.onInputState);
        case PacketType::VideoConfig:
            if (!callbacks.onVideoConfig || packet.size < kConfigHeaderSize) return false;
            callbacks.onVideoConfig(readU16(p), readU16(p + 2), readU16(p + 4), readU16(p + 6),
                                    p + kConfigHeaderSize, packet.size - kConfigHeaderSize);
            return true;
        case PacketType::Video:
            if (!callbacks.onVideoPacket) return false;
            callbacks.onVideoPacket(p, packet.size, packet.header.timestamp,
                                    (packet.header.flags & kKeyFrameFlag) != 0);
            return true;
        case PacketType::AudioConfig:
            if (!callbacks.onAudioConfig || packet.size < kConfigHeaderSize) return false;
            // The rate is unsigned on the wire; an absurd one must not turn negative.
            callbacks.onAudioConfig(static_cast<int>(std::min<uint32_t>(readU32(p), 0x7fffffff)),
                                    readU16(p + 4));
            return true;
        case PacketType::Audio:
            if (!callbacks.onAudioPacket) return false;
            callbacks.onAudioPacket(p, packet.size, packet.header.timestamp);
            return true;
        case PacketType::Pong:
            if (packet.size != kPongSize) return false;
            clock.onPong(static_cast<int64_t>(readU64(p)), packet.header.timestamp, nowPc);
            return true;
        default:
            return false;
    }
}

}  // namespace tov
