// Plays the phone's sound on the default output device: a one-second ring between the stream
// and a render thread that keeps the delay between 30 and 90 ms and applies the volume.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "audio/audio_output.h"
#include "audio/playback_buffer.h"
#include "audio/render_loop.h"
#include "audio/stop_signal.h"

namespace tov {

struct AudioPlayerStats {
    bool running = false;     // the render thread is started
    bool deviceOpen = false;  // it has a device now
    AudioFormat format;
    PlaybackCounters buffer;
    uint32_t deviceBufferFrames = 0;
    uint32_t devicePaddingFrames = 0;
    uint64_t deviceOpens = 0;
    uint64_t openFailures = 0;
    uint64_t deviceLosses = 0;
    uint64_t retryPauses = 0;
};

class AudioPlayer {
  public:
    // The format to expect until the stream announces one; output opens the device on the
    // render thread (empty: the system's default output).
    AudioPlayer(int sampleRate, int channels, float volume, AudioOutputFactory output = {});
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // On every audio config: stops a running thread, takes the format (0 or less: 48,000 Hz,
    // 2 channels), starts a fresh ring primed for 30 ms and the render thread. A format no
    // phone could send is logged and refused: the player stays stopped and returns false.
    bool start(int sampleRate, int channels);
    // Stream thread: frames x channels samples, interleaved.
    void push(const int16_t* samples, size_t frames);
    // Stream thread: an audio packet as it arrives, little-endian samples of the announced
    // format; whole frames are taken whatever the channel count.
    void pushBytes(const uint8_t* data, size_t size);
    void setVolume(float volume) { volume_.store(volume); }
    float volume() const { return volume_.load(); }
    // Ends the render thread and empties the ring; returns at once when not running.
    void stop();

    bool running() const;
    AudioPlayerStats stats() const;

  private:
    void stopLocked();

    std::mutex control_;  // start and stop come from the stream and the UI threads
    AudioOutputFactory makeOutput_;
    PlaybackBuffer buffer_;
    std::atomic<float> volume_;
    std::atomic<bool> running_{false};
    StopSignal stop_;
    RenderStatus status_;
    std::thread thread_;
};

}  // namespace tov
