// What travels from the stream session to the video thread, and what is kept per decoded packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tov {

struct VideoItem {
    enum Kind : int32_t { kConfig = 0, kPacket = 1, kReset = 2, kPrepare = 3 };

    int32_t kind = kPacket;
    // Packet payload, or the config's codec-specific data (csd).
    std::vector<uint8_t> bytes;
    int64_t pts = 0;  // packet: the phone's capture time stamp (us)
    bool key = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t fps = 0;
    int32_t codec = 0;    // 1 HEVC, anything else H.264
    int64_t arrived = 0;  // packet: PC clock when the session handed it over
};

// One decoded packet. Zero times mean "did not happen" (no clock mapping, no picture, not shown).
struct FrameRecord {
    int64_t pts = 0;
    int64_t captured = 0;
    int64_t arrived = 0;
    int64_t decoded = 0;
    int64_t shown = 0;
    size_t bytes = 0;  // without the csd put in front of key frames
    bool key = false;
    int64_t dequeued = 0;      // the video thread took it from the queue
    int64_t presenting = 0;    // the present thread took it
    int64_t uploadMicros = 0;  // of shown - presenting: the picture into the renderer's texture
    int64_t drawMicros = 0;    // of shown - presenting: converting and scaling before the swap
};

// Codec selector as the stream config carries it.
inline constexpr int32_t kCodecHevc = 1;
inline const char* codecName(int32_t codec) {
    return codec == kCodecHevc ? "HEVC" : "H.264";
}

}  // namespace tov
