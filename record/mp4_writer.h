// Writes a stream as it is received into a fragmented MP4 file: the video as the phone encoded it
// (H.264 or HEVC, no re-encoding) with the phone's time stamps, and the sound as 16-bit PCM.
// The file is written as a header and then one self-contained fragment about every second, so a
// file cut short by a crash or a power loss still plays up to its last whole fragment.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "record/parameter_sets.h"

namespace tov {

struct Mp4VideoTrack {
    VideoCodec codec = VideoCodec::H264;
    int width = 0;
    int height = 0;
    // The codec configuration as the stream sends it: Annex-B parameter sets.
    std::string csd;
};

struct Mp4AudioTrack {
    int sampleRate = 0;  // 0: the file has no sound track
    int channels = 0;
};

class Mp4Writer {
  public:
    // Takes each piece of the file in order; false when it could not be stored.
    using Sink = std::function<bool(std::string_view bytes)>;

    // Writes the file header. False when the codec configuration lacks a parameter set or the
    // sink fails; nothing is written then.
    bool start(const Mp4VideoTrack& video, const Mp4AudioTrack& audio, Sink sink,
               int64_t fragmentUs = 1000000);
    // One access unit (Annex-B) with its time in microseconds. Pictures before the first key
    // frame are left out: they cannot be decoded. False once the sink has failed.
    bool addVideo(std::string_view annexB, int64_t timeUs, bool key);
    // Interleaved 16-bit PCM as received; sound before the first key frame is left out.
    bool addAudio(std::string_view pcm);
    // Writes what is still open. The writer is spent afterwards.
    bool finish();

    bool started() const { return started_; }
    bool recording() const { return haveOrigin_; }
    int64_t videoSamples() const { return videoSamples_; }
    // From the first key frame to the newest picture.
    int64_t durationUs() const;

  private:
    struct VideoSample {
        int64_t ticks = 0;  // since the first key frame, in the video time scale
        uint32_t size = 0;
        bool key = false;
    };

    std::string header() const;
    bool writeFragment(int64_t endTicks);
    int64_t toTicks(int64_t timeUs) const;

    Sink sink_;
    Mp4VideoTrack video_;
    Mp4AudioTrack audio_;
    std::string config_;
    int64_t fragmentTicks_ = 0;
    bool started_ = false;
    bool failed_ = false;
    bool haveOrigin_ = false;
    int64_t originUs_ = 0;
    uint32_t sequence_ = 0;
    // The open fragment.
    std::vector<VideoSample> samples_;
    std::string videoData_;
    std::string audioData_;
    int64_t lastTicks_ = 0;
    int64_t lastDuration_ = 0;
    int64_t videoSamples_ = 0;
    int64_t audioFramesWritten_ = 0;
};

}  // namespace tov
