// What the render thread needs of a sound output: open the default device for a format, then
// feed it in event-driven passes. The Windows build implements this with WASAPI; tests and the
// native build use sinks that play out by a clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "audio/audio_format.h"

namespace tov {

// One opened device, started. Destroying it stops the stream and releases the device.
class AudioEndpoint {
  public:
    virtual ~AudioEndpoint() = default;
    // Frames the device buffer holds.
    virtual uint32_t bufferFrames() const = 0;
    // Waits until the device asks for more sound, or at most timeoutMs.
    virtual void waitForEvent(uint32_t timeoutMs) = 0;
    // Frames still queued in the device; empty when the device is gone.
    virtual std::optional<uint32_t> padding() = 0;
    // Room to write frames into; null when the device is gone.
    virtual int16_t* getBuffer(uint32_t frames) = 0;
    // Hands the frames written after getBuffer to the device.
    virtual void releaseBuffer(uint32_t frames) = 0;
};

// Lives on the render thread for the whole life of the thread (thread-wide set-up goes in its
// constructor and destructor).
class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // The current default device opened for the format, or null when none opens now.
    virtual std::unique_ptr<AudioEndpoint> open(const AudioFormat& format) = 0;
};

// Called on the render thread when it starts.
using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

// The system's default output: WASAPI on Windows; natively a sink that plays out in real time
// and discards the sound.
std::unique_ptr<AudioOutput> makeDefaultAudioOutput();

}  // namespace tov
