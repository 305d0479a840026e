// Device-independent bitmaps as the clipboard holds them (CF_DIB: header, colours, pixels).
#pragma once

#include <string>
#include <string_view>

#include "clipboard/clipboard_access.h"

namespace tov {

inline constexpr size_t kBitmapInfoHeaderSize = 40;
inline constexpr size_t kBitmapFileHeaderSize = 14;

// A BMP file of a CF_DIB block: the 14-byte file header in front of it. Empty when the block is
// shorter than a BITMAPINFOHEADER, its header says it is smaller than one, or its pixels would
// start beyond its end.
std::string dibToBmpFile(std::string_view dib);

// A bottom-up 32-bit BI_RGB DIB of the bitmap. Empty when the pixel bytes don't match the size.
std::string dibFromBitmap(const Bitmap& bitmap);

}  // namespace tov
