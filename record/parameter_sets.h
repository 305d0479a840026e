// What an MP4 file needs from an H.264 or HEVC elementary stream: the decoder configuration
// record built from the parameter sets (avcC, hvcC), and samples with each NAL unit prefixed by
// its length instead of a start code.
#pragma once

#include <string>
#include <string_view>

namespace tov {

enum class VideoCodec { H264, Hevc };

// SPS, PPS (and HEVC's VPS): they go into the decoder configuration, not into samples.
bool isParameterSet(VideoCodec codec, std::string_view nal);

// Whether the access unit holds a coded picture (a slice), not only parameter sets, delimiters
// or supplemental data.
bool carriesPicture(VideoCodec codec, std::string_view annexB);

// The avcC or hvcC record for the parameter sets found in `csd` (Annex-B); empty when a
// required set is missing or too short to read.
std::string decoderConfigRecord(VideoCodec codec, std::string_view csd);

// The sample data of one access unit: every NAL unit except parameter sets and access unit
// delimiters, each preceded by its length as a 32-bit big-endian number.
std::string lengthPrefixedSample(VideoCodec codec, std::string_view annexB);

}  // namespace tov
