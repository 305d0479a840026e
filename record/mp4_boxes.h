// The boxes of a fragmented MP4 recording: the header (ftyp, moov), one movie fragment (moof,
// mdat) and the closing index (mfra). Layout only; what goes where in time is Mp4Writer's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "record/parameter_sets.h"

namespace tov {

constexpr uint32_t kMp4MovieTimescale = 1000;
constexpr uint32_t kMp4VideoTimescale = 90000;
constexpr uint32_t kMp4VideoTrack = 1;
constexpr uint32_t kMp4SoundTrack = 2;

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

// The header, with where its duration fields are, so that a finished file can say its length.
struct Mp4Header {
    std::string bytes;
    size_t movieDurationAt = 0;      // mvhd, movie time scale
    size_t fragmentDurationAt = 0;   // mehd, movie time scale
    size_t trackDurationAt[2] = {};  // tkhd of video, sound: movie time scale
    size_t mediaDurationAt[2] = {};  // mdhd of video, sound: the track's own time scale
};

// Every duration field is 64 bits wide (version 1 boxes) and written as 0 until patched.
// `decoderConfig` is the avcC or hvcC record; no sound track when the rate is 0.
Mp4Header mp4Header(const Mp4VideoTrack& video, std::string_view decoderConfig,
                    const Mp4AudioTrack& audio);

struct Mp4VideoSample {
    uint32_t duration = 0;  // video time scale
    uint32_t size = 0;
    bool key = false;
};

// One track's run of samples in a fragment.
struct Mp4VideoRun {
    int64_t start = 0;  // decode time of the first sample, video time scale
    std::vector<Mp4VideoSample> samples;
    std::string_view data;
};
struct Mp4SoundRun {
    int64_t start = 0;  // in sample frames
    uint32_t frameBytes = 0;
    std::string_view data;  // whole frames
};

// A moof and its mdat. Either run may be empty; the sound's track fragment comes second when
// both are there.
std::string mp4Fragment(uint32_t sequence, const Mp4VideoRun& video, const Mp4SoundRun& sound);

// A random access point for the closing index.
struct Mp4IndexEntry {
    int64_t time = 0;         // the track's time scale
    uint64_t moofOffset = 0;  // from the start of the file
    uint32_t trafNumber = 1;
    uint32_t sampleNumber = 1;
};

// The mfra box that lets a player seek without reading every fragment.
std::string mp4Index(const std::vector<Mp4IndexEntry>& video,
                     const std::vector<Mp4IndexEntry>& sound, bool withSound);

}  // namespace tov
