// Pictures for the clipboard tests: bitmaps with distinct pixels, reading a CF_DIB back, and a
// small coder that understands 32-bit BMP files and its own stand-in for PNG.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "clipboard/clipboard_access.h"

namespace tov::test {

// Every pixel different, alpha opaque.
Bitmap patternBitmap(uint32_t width, uint32_t height);

// The pixels of a 32-bit uncompressed (or bit-field) DIB, rows top to bottom, whichever way the
// block stores them. The pixels start pixelOffset bytes into the block (header and masks).
std::optional<Bitmap> bitmapFromDib(std::string_view dib, size_t pixelOffset);
// The same, with the offset that a 40-byte header (plus masks for BI_BITFIELDS) gives.
std::optional<Bitmap> bitmapFromDib(std::string_view dib);

class TestCoder : public PictureCoder {
  public:
    // "BM" files (through their pixel offset) and the coder's own "TPNG" pictures.
    std::optional<Bitmap> decode(std::string_view encoded) override;
    // "TPNG", width and height (32-bit), the pixels.
    std::string encodePng(const Bitmap& bitmap) override;

    int decodes = 0;
    int encodes = 0;
    std::string lastDecoded;
};

}  // namespace tov::test
