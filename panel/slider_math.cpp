#include "panel/slider_math.h"

#include <algorithm>
#include <cmath>

namespace tov::panel {

float trackFraction(float x, float trackLeft, float trackRight) {
    float width = trackRight - trackLeft;
    if (!(width > 0)) return 0;
    float t = (x - trackLeft) / width;
    if (!(t >= 0)) return 0;  // also catches NaN
    return std::min(t, 1.0f);
}

int bitrateSliderMax(int maxBitrateBps) {
    return std::max(maxBitrateBps / 1000000, 9);
}

int bitrateFromFraction(float t, int maxBitrateBps) {
    int max = bitrateSliderMax(maxBitrateBps);
    return static_cast<int>(std::lround(8.0 + (max - 8) * static_cast<double>(t)));
}

float fractionFromBitrate(int bitrateBps, int maxBitrateBps) {
    int max = bitrateSliderMax(maxBitrateBps);
    double t = (bitrateBps / 1e6 - 8.0) / (max - 8);
    return static_cast<float>(std::clamp(t, 0.0, 1.0));
}

float volumeFromFraction(float t) {
    double gain = 0.25 * std::pow(16.0, static_cast<double>(std::clamp(t, 0.0f, 1.0f)));
    if (std::fabs(gain - 1.0) <= 0.06) return 1.0f;
    return static_cast<float>(std::round(gain / 0.05) * 0.05);
}

float fractionFromVolume(float gain) {
    if (!(gain > 0)) return 0;
    double t = std::log(gain / 0.25) / std::log(16.0);
    return static_cast<float>(std::clamp(t, 0.0, 1.0));
}

}  // namespace tov::panel
