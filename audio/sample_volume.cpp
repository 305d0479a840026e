#include "audio/sample_volume.h"

#include <cmath>
#include <cstring>

namespace tov {

namespace {

int16_t scaled(int16_t sample, double gain) {
    const double value = std::round(sample * gain);  // std::round takes halves away from zero
    if (value >= 32767.0) return 32767;
    if (value <= -32768.0) return -32768;
    return static_cast<int16_t>(value);
}

}  // namespace

void copyWithVolume(const int16_t* in, int16_t* out, size_t count, float volume) {
    if (count == 0) return;
    if (volume >= 0.999f && volume <= 1.001f) {
        std::memcpy(out, in, count * sizeof(int16_t));
        return;
    }
    if (!std::isfinite(volume) || volume <= 0.0f) {
        std::memset(out, 0, count * sizeof(int16_t));
        return;
    }
    const double gain = volume;
    for (size_t i = 0; i < count; ++i) out[i] = scaled(in[i], gain);
}

}  // namespace tov
