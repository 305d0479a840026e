// Reads a BGRA texture back to memory: copied into a staging texture, mapped and copied row by
// row. On the thread that owns the device context.
#pragma once

#include <d3d11.h>

#include <optional>

#include "core/bitmap.h"

namespace tov {

// The texture must be DXGI_FORMAT_B8G8R8A8_UNORM. Alpha comes back opaque. Nothing on failure
// (logged).
std::optional<Bitmap> readBgraTexture(ID3D11Device* device, ID3D11DeviceContext* context,
                                      ID3D11Texture2D* texture);

}  // namespace tov
