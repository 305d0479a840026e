// A steady sine tone as the phone's sound: 16-bit little-endian stereo samples.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tov::phonesim {

class PcmTone {
  public:
    PcmTone(int sampleRate, int channels, double frequency, double amplitude = 0.25);
    // The next `frames` frames, continuing the wave where the last call stopped; `gain`, when
    // given, scales frame f of them.
    std::string next(int frames, const std::function<double(int)>& gain = {});
    int sampleRate() const { return rate_; }
    int channels() const { return channels_; }

  private:
    int rate_;
    int channels_;
    double frequency_;
    double amplitude_;
    uint64_t position_ = 0;
};

}  // namespace tov::phonesim
