// A recorded H.264 elementary stream (Annex-B) cut the way a phone's encoder hands it out: the
// parameter sets as the codec configuration, then one access unit per picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tov::phonesim {

struct AccessUnit {
    std::string bytes;  // Annex-B, start codes kept, parameter sets and delimiters left out
    bool key = false;   // holds an IDR picture
};

struct H264Clip {
    std::string config;  // SPS and PPS, each behind a 4-byte start code
    std::vector<AccessUnit> units;
    int width = 0;
    int height = 0;
    // Index of the first key unit at or after `from`, wrapping round; 0 when there is none.
    size_t nextKey(size_t from) const;
};

// NAL units of an Annex-B stream, without their start codes.
std::vector<std::string> splitNalUnits(const std::string& stream);

// The picture size an SPS (NAL header byte included) describes, after cropping; false when the
// SPS cannot be read.
bool readSpsSize(const std::string& sps, int& width, int& height);

// False (with a reason) when the stream holds no SPS, PPS or key picture.
bool parseH264Clip(const std::string& stream, H264Clip& clip, std::string& error);

}  // namespace tov::phonesim
