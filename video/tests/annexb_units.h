// Splits an H.264 Annex-B elementary stream into access units, as a phone's encoder hands them
// to its stream server one by one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tov::test {

struct AccessUnit {
    std::vector<uint8_t> bytes;
    bool key = false;
};

struct SplitStream {
    // The parameter sets (SPS and PPS with their start codes) of the first key frame.
    std::vector<uint8_t> csd;
    std::vector<AccessUnit> units;
};

// With stripParameterSets the units carry no SPS/PPS (the stream config brings them instead).
SplitStream splitH264(const std::string& stream, bool stripParameterSets);

// A file of the source tree (tests/media/..., video/tests/data/...), readable on both builds.
std::wstring sourceFile(const char* relative);

}  // namespace tov::test
