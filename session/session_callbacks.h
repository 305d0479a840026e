// What the Session reports to its owner. Every callback may be empty; all run on the Session's
// loop thread and should return quickly, since a slow one delays the packets behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "core/link_state.h"
#include "core/phone_info.h"

namespace tov {

struct SessionCallbacks {
    std::function<void(LinkState, const std::string& phoneName)> onLinkState;
    std::function<void(const std::map<std::string, std::string>&)> onHello;
    std::function<void(const std::map<std::string, std::string>&)> onStreamState;
    std::function<void(int width, int height, int fps, int codec, const uint8_t* csd,
                       size_t csdSize)>
        onVideoConfig;
    std::function<void(const uint8_t* data, size_t size, int64_t pts, bool key)> onVideoPacket;
    std::function<void(int sampleRate, int channels)> onAudioConfig;
    // pts: the phone's time of the packet's first frame, on the pictures' clock; 0 when the
    // phone sends none.
    std::function<void(const uint8_t* pcm, size_t size, int64_t pts)> onAudioPacket;
    std::function<void(const std::map<std::string, std::string>&)> onInputState;
    std::function<void(const PhoneInfo&)> onPhoneInfo;
    // The status text changed (install progress and the like).
    std::function<void()> onStatusText;
};

}  // namespace tov
