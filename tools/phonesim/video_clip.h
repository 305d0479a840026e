// A recorded H.264 or HEVC elementary stream (Annex-B) cut the way a phone's encoder hands it
// out: the parameter sets as the codec configuration, then one access unit per picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tov::phonesim {

// The numbers the video configuration packet carries.
enum class VideoCodec { H264 = 0, Hevc = 1 };

struct AccessUnit {
    std::string bytes;  // Annex-B, start codes kept, parameter sets and delimiters left out
    bool key = false;   // holds a picture a decoder can start from
};

struct VideoClip {
    VideoCodec codec = VideoCodec::H264;
    std::string config;  // the parameter sets, each behind a 4-byte start code
    std::vector<AccessUnit> units;
    int width = 0;
    int height = 0;
    // Index of the first key unit at or after `from`, wrapping round; 0 when there is none.
    size_t nextKey(size_t from) const;
};

// False (with a reason) when the stream lacks parameter sets or a key picture.
bool parseVideoClip(const std::string& stream, VideoCodec codec, VideoClip& clip,
                    std::string& error);

}  // namespace tov::phonesim
