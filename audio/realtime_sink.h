// An output that plays out in real time and hands what it played to a tap instead of a sound
// card: a 20 ms device buffer asking for more every 10 ms, like a shared-mode device.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "audio/audio_output.h"

namespace tov {

class RealTimeSink : public AudioOutput {
  public:
    // Gets every played block (frames x channels samples) on the render thread; may be empty.
    using Tap = std::function<void(const int16_t* samples, uint32_t frames, int channels)>;

    explicit RealTimeSink(Tap tap = {}) : tap_(std::move(tap)) {}
    std::unique_ptr<AudioEndpoint> open(const AudioFormat& format) override;

  private:
    Tap tap_;
};

}  // namespace tov
