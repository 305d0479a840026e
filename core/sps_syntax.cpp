#include "core/sps_syntax.h"

namespace tov {

void skipH264ScalingList(BitReader& r, int size) {
    int last = 8;
    int next = 8;
    for (int j = 0; j < size && !r.failed(); ++j) {
        // The delta counts modulo 256; taking it so first keeps the sum from overflowing.
        if (next != 0) next = (last + r.se() % 256 + 256) % 256;
        if (next != 0) last = next;
    }
}

void skipHevcProfileTierLevel(BitReader& r, uint32_t maxSubLayersMinus1) {
    r.skip(88);  // general profile space, tier, idc, compatibility and constraint flags
    r.skip(8);   // general_level_idc
    bool profilePresent[8] = {};
    bool levelPresent[8] = {};
    for (uint32_t i = 0; i < maxSubLayersMinus1; ++i) {
        profilePresent[i] = r.flag();
        levelPresent[i] = r.flag();
    }
    if (maxSubLayersMinus1 > 0) r.skip(2 * static_cast<int>(8 - maxSubLayersMinus1));
    for (uint32_t i = 0; i < maxSubLayersMinus1; ++i) {
        if (profilePresent[i]) r.skip(88);
        if (levelPresent[i]) r.skip(8);
    }
}

}  // namespace tov
