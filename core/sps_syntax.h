// Parts of a sequence parameter set that every reader of one has to step over to reach the
// fields after them.
#pragma once

#include <cstdint>

#include "core/bit_reader.h"

namespace tov {

// One H.264 scaling list of `size` coefficients (16 or 64), coded as deltas.
void skipH264ScalingList(BitReader& r, int size);

// HEVC's profile_tier_level with its profile present, for `maxSubLayersMinus1` sub-layers (at
// most 7).
void skipHevcProfileTierLevel(BitReader& r, uint32_t maxSubLayersMinus1);

}  // namespace tov
