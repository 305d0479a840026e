#include "tools/phonesim/pcm_tone.h"

#include <cmath>

namespace tov::phonesim {

PcmTone::PcmTone(int sampleRate, int channels, double frequency, double amplitude)
    : rate_(sampleRate), channels_(channels), frequency_(frequency), amplitude_(amplitude) {}

std::string PcmTone::next(int frames, const std::function<double(int)>& gain) {
    constexpr double kTwoPi = 6.283185307179586;
    std::string out;
    out.reserve(static_cast<size_t>(frames) * static_cast<size_t>(channels_) * 2);
    for (int f = 0; f < frames; ++f, ++position_) {
        // The phase is taken modulo one period so that it stays exact over long runs.
        const double cycles = std::fmod(static_cast<double>(position_) * frequency_ / rate_, 1.0);
        const double level = gain ? amplitude_ * gain(f) : amplitude_;
        const double value = std::sin(kTwoPi * cycles) * level * 32767.0;
        const auto sample = static_cast<int16_t>(std::lround(value));
        const auto bits = static_cast<uint16_t>(sample);
        for (int c = 0; c < channels_; ++c) {
            out.push_back(static_cast<char>(bits & 0xff));
            out.push_back(static_cast<char>(bits >> 8));
        }
    }
    return out;
}

}  // namespace tov::phonesim
