#include "clipboard/tests/test_pictures.h"

#include <cstdint>

namespace tov::test {
namespace {

uint32_t le32(std::string_view s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

void putLe32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

Bitmap patternBitmap(uint32_t width, uint32_t height) {
    Bitmap b{width, height, {}};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            b.pixels += static_cast<char>(x * 7 + 1);
            b.pixels += static_cast<char>(y * 13 + 2);
            b.pixels += static_cast<char>((x + y) * 3 + 3);
            b.pixels += static_cast<char>(0xFF);
        }
    }
    return b;
}

std::optional<Bitmap> bitmapFromDib(std::string_view dib, size_t pixelOffset) {
    if (dib.size() < 40) return std::nullopt;
    const auto width = static_cast<int32_t>(le32(dib, 4));
    const auto height = static_cast<int32_t>(le32(dib, 8));
    const uint32_t bitCount = le32(dib, 12) >> 16;
    const uint32_t compression = le32(dib, 16);
    if (bitCount != 32 || (compression != 0 && compression != 3) || width <= 0 || height == 0) {
        return std::nullopt;
    }
    const uint32_t rows = height > 0 ? height : -height;
    const size_t stride = size_t(width) * 4;
    if (pixelOffset + stride * rows > dib.size()) return std::nullopt;
    Bitmap b{uint32_t(width), rows, {}};
    for (uint32_t r = 0; r < rows; ++r) {
        const uint32_t stored = height > 0 ? rows - 1 - r : r;
        b.pixels.append(dib.substr(pixelOffset + stored * stride, stride));
    }
    return b;
}

std::optional<Bitmap> bitmapFromDib(std::string_view dib) {
    if (dib.size() < 40) return std::nullopt;
    const size_t headerSize = le32(dib, 0);
    return bitmapFromDib(dib, headerSize + (le32(dib, 16) == 3 && headerSize == 40 ? 12 : 0));
}

std::optional<Bitmap> TestCoder::decode(std::string_view encoded) {
    ++decodes;
    lastDecoded = std::string(encoded);
    if (encoded.substr(0, 2) == "BM" && encoded.size() >= 14) {
        const size_t offset = le32(encoded, 10);
        if (offset < 14) return std::nullopt;
        return bitmapFromDib(encoded.substr(14), offset - 14);
    }
    if (encoded.substr(0, 4) == "TPNG" && encoded.size() >= 12) {
        Bitmap b{le32(encoded, 4), le32(encoded, 8), std::string(encoded.substr(12))};
        if (b.pixels.size() != size_t(b.width) * b.height * 4) return std::nullopt;
        return b;
    }
    return std::nullopt;
}

std::string TestCoder::encodePng(const Bitmap& bitmap) {
    ++encodes;
    std::string out = "TPNG";
    putLe32(out, bitmap.width);
    putLe32(out, bitmap.height);
    return out + bitmap.pixels;
}

}  // namespace tov::test
