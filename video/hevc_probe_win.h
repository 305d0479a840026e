// Whether this PC can show an HEVC stream: an installed decoder and GPU decoding for it.
#pragma once

#include <d3d11.h>

namespace tov {

// Logs what it found. Needs Media Foundation started on the calling thread. The video device may
// be null (no GPU decoding at all).
bool probeHevc(ID3D11VideoDevice* videoDevice);

}  // namespace tov
