// The colour description a stream carries in its sequence parameter set (H.264 or HEVC): the
// VUI's matrix_coefficients and video_full_range_flag.
#pragma once

#include <cstddef>
#include <cstdint>

#include "video/colour_space.h"

namespace tov {

// `csd`: the stream config's parameter sets (Annex-B, start codes in front of each NAL unit);
// `codec`: 1 HEVC, anything else H.264. What the first SPS tells: nothing where it has no
// colour description, and nothing at all when there is no SPS or it cannot be read.
StreamColour colourFromParameterSets(int32_t codec, const uint8_t* csd, size_t size);

}  // namespace tov
