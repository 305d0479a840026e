// A CF_DIB block from another program's clipboard, on arbitrary bytes: turned into a BMP file it
// must be the block itself behind a 14-byte header whose size and pixel offset stay inside the
// file, and a plain 32-bit block must always convert. A bitmap made from the same bytes must
// come out as a DIB of exactly its pixels.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "clipboard/dib.h"
#include "fuzz_support.h"

namespace {

uint32_t le32(std::string_view s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view dib(reinterpret_cast<const char*>(data), size);
    const std::string file = tov::dibToBmpFile(dib);
    if (!file.empty()) {
        REQUIRE(file.size() == tov::kBitmapFileHeaderSize + dib.size());
        REQUIRE(file.compare(0, 2, "BM") == 0);
        REQUIRE(le32(file, 2) == file.size());
        const uint32_t offset = le32(file, 10);
        REQUIRE(offset >= tov::kBitmapFileHeaderSize + tov::kBitmapInfoHeaderSize);
        REQUIRE(offset <= file.size());
        REQUIRE(std::string_view(file).substr(tov::kBitmapFileHeaderSize) == dib);
    } else if (size >= tov::kBitmapInfoHeaderSize) {
        // A plain BITMAPINFOHEADER with 32-bit BI_RGB pixels and no colour table always fits.
        const bool plain = le32(dib, 0) == 40 && (le32(dib, 12) >> 16) == 32 &&
                           le32(dib, 16) == 0 && le32(dib, 32) == 0;
        REQUIRE(!plain);
    }

    // The bytes as a small bitmap: its DIB holds the rows bottom-up behind a 40-byte header.
    if (size >= 2) {
        tov::Bitmap bitmap;
        bitmap.width = data[0] % 16 + 1;
        const size_t rowBytes = bitmap.width * 4;
        bitmap.height = static_cast<uint32_t>((size - 2) / rowBytes);
        bitmap.pixels.assign(reinterpret_cast<const char*>(data) + 2, bitmap.height * rowBytes);
        const std::string made = tov::dibFromBitmap(bitmap);
        REQUIRE(made.size() == tov::kBitmapInfoHeaderSize + bitmap.pixels.size());
        for (uint32_t row = 0; row < bitmap.height; ++row) {
            const size_t from = (bitmap.height - 1 - row) * rowBytes;
            REQUIRE(made.compare(tov::kBitmapInfoHeaderSize + row * rowBytes, rowBytes,
                                 bitmap.pixels, from, rowBytes) == 0);
        }
        REQUIRE(tov::dibToBmpFile(made).size() == tov::kBitmapFileHeaderSize + made.size());
        // A wrong pixel count is refused.
        bitmap.pixels += 'x';
        REQUIRE(tov::dibFromBitmap(bitmap).empty());
    }
    return 0;
}
