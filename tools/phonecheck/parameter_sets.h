// The video configuration packet as Tovenmar reads it, and what a decoder needs of its
// parameter sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tov::phonecheck {

struct VideoConfig {
    int width = 0;
    int height = 0;
    int fps = 0;
    int codec = 0;     // 0 H.264, 1 HEVC
    std::string data;  // the parameter sets, Annex-B

    std::string describe() const;  // "1080x2400 at 60 fps, H.264"
};

// False for a payload shorter than the 8 bytes Tovenmar needs.
bool readVideoConfig(const uint8_t* payload, size_t size, VideoConfig& out);

// An empty text when the parameter sets hold what a decoder opens with (H.264: a sequence and a
// picture parameter set; HEVC: video, sequence and picture parameter sets) and the sequence
// parameter set describes the size the packet announces; else why not.
std::string checkParameterSets(const VideoConfig& config);

}  // namespace tov::phonecheck
