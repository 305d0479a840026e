// The sound between the stream and the device: one second of samples, and the rules that keep
// the device fed with a bounded delay. push runs on the stream thread, fill on the render
// thread; one mutex guards everything, held by fill for one pass only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "audio/audio_format.h"
#include "audio/sample_ring.h"

namespace tov {

struct PlaybackCounters {
    size_t ringSamples = 0;  // one second, all channels
    size_t bufferedFrames = 0;
    bool priming = true;
    uint64_t overflows = 0;  // pushes that gave up older sound to make room
    uint64_t trims = 0;      // fills that cut an over-long delay back
    uint64_t reprimes = 0;   // underruns: ring and device ran dry, and priming began again
};

class PlaybackBuffer {
  public:
    // Gives the destination for a number of frames, or null when the device has none to give.
    using Destination = std::function<int16_t*(uint32_t frames)>;
    // What a fill reports when the destination failed.
    static constexpr int64_t kDestinationFailed = -1;

    // Sizes the ring for one second of the format (zeroed), empties it and starts priming.
    void reset(const AudioFormat& format);
    // Empties the ring and starts priming; the format and ring stay.
    void clear();

    // Appends frames x channels samples; overflow gives up the oldest sound.
    void push(const int16_t* samples, size_t frames);
    // Appends the whole frames of a packet of little-endian 16-bit samples; a trailing partial
    // frame is ignored. The bytes need no particular alignment.
    void pushBytes(const uint8_t* data, size_t size);

    // One render pass for a device buffer of deviceFrames that still holds queuedFrames: cuts a
    // delay above 90 ms back to 30 ms, holds output while priming until 30 ms are buffered,
    // then writes as many frames as are buffered and fit, scaled by volume. A pass that finds
    // the ring and the device both empty starts priming again. Returns the frames written
    // (0 when nothing was due), or kDestinationFailed.
    int64_t fill(uint32_t queuedFrames, uint32_t deviceFrames, float volume,
                 const Destination& destination);

    AudioFormat format() const;
    PlaybackCounters counters() const;

  private:
    void pushLocked(const int16_t* samples, size_t count, bool skippedSome);

    mutable std::mutex lock_;
    AudioFormat format_;
    SampleRing ring_;
    bool priming_ = true;
    PlaybackCounters counters_;
    std::vector<int16_t> decoded_;  // pushBytes' samples on their way into the ring
};

}  // namespace tov
