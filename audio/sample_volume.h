// Applying the playback volume to 16-bit samples.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tov {

// Copies count samples from in to out scaled by volume. From 0.999 to 1.001 the copy is plain;
// otherwise each sample becomes round(sample x volume), halves away from zero. The panel offers
// gains up to 4, so results are held to the 16-bit range: loud sound clips instead of wrapping
// around. A volume that is not a number, negative or infinite gives silence.
void copyWithVolume(const int16_t* in, int16_t* out, size_t count, float volume);

}  // namespace tov
