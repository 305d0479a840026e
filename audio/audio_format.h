// The shape of the phone's sound: signed 16-bit samples, interleaved by channel.
#pragma once

#include <cstdint>

namespace tov {

struct AudioFormat {
    int sampleRate = 48000;
    int channels = 2;
};

// Rates and channel counts beyond these cannot come from a phone; taking them would only size
// the one-second ring from a corrupt packet.
constexpr int kMaxSampleRate = 384000;
constexpr int kMaxChannels = 8;

// The announced format with the defaults for missing values (0 or less: 48,000 Hz, 2 channels).
AudioFormat formatWithDefaults(int sampleRate, int channels);
// True when the player can hold the format: the defaults applied, both within the limits above.
bool isPlayableFormat(const AudioFormat& format);

// Frames in the given number of milliseconds, in integer arithmetic.
inline uint32_t framesForMs(const AudioFormat& format, int ms) {
    return static_cast<uint32_t>(static_cast<int64_t>(format.sampleRate) * ms / 1000);
}

}  // namespace tov
