#include "clipboard/dib.h"

#include <cstdint>

namespace tov {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
// BI_BITFIELDS with a plain 40-byte header: three DWORD colour masks follow the header.
constexpr uint64_t kBitfieldMasksSize = 12;

uint32_t readLe32(std::string_view s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

uint16_t readLe16(std::string_view s, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) |
                                 (static_cast<unsigned char>(s[at + 1]) << 8));
}

void appendLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void appendLe16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

}  // namespace

std::string dibToBmpFile(std::string_view dib) {
    if (dib.size() < kBitmapInfoHeaderSize) return {};
    const uint32_t headerSize = readLe32(dib, 0);
    // The fields below are read where a BITMAPINFOHEADER has them; a smaller header (an OS/2
    // core header, or a zero) would make the file's pixels start inside the header.
    if (headerSize < kBitmapInfoHeaderSize) return {};
    const uint16_t bitCount = readLe16(dib, 14);
    const uint32_t compression = readLe32(dib, 16);
    const uint32_t clrUsed = readLe32(dib, 32);
    uint64_t colours = clrUsed;
    if (colours == 0 && bitCount <= 8) colours = uint64_t{1} << bitCount;
    // 64-bit, so that a wild biSize or biClrUsed cannot wrap the offset into the block.
    uint64_t offset = kBitmapFileHeaderSize + uint64_t{headerSize} + 4 * colours;
    if (headerSize == kBitmapInfoHeaderSize && compression == kBiBitfields) {
        offset += kBitfieldMasksSize;
    }
    const uint64_t fileSize = kBitmapFileHeaderSize + uint64_t{dib.size()};
    if (offset > fileSize || fileSize > UINT32_MAX) return {};

    std::string file;
    file.reserve(static_cast<size_t>(fileSize));
    file += "BM";
    appendLe32(file, static_cast<uint32_t>(fileSize));
    appendLe16(file, 0);
    appendLe16(file, 0);
    appendLe32(file, static_cast<uint32_t>(offset));
    file.append(dib);
    return file;
}

std::string dibFromBitmap(const Bitmap& bitmap) {
    const uint64_t stride = uint64_t{bitmap.width} * 4;
    const uint64_t imageSize = stride * bitmap.height;
    if (imageSize != bitmap.pixels.size() || imageSize > UINT32_MAX || bitmap.width > INT32_MAX ||
        bitmap.height > INT32_MAX) {
        return {};
    }
    std::string dib;
    dib.reserve(kBitmapInfoHeaderSize + static_cast<size_t>(imageSize));
    appendLe32(dib, kBitmapInfoHeaderSize);
    appendLe32(dib, bitmap.width);
    appendLe32(dib, bitmap.height);  // positive: rows run bottom-up
    appendLe16(dib, 1);              // planes
    appendLe16(dib, 32);             // bits per pixel
    appendLe32(dib, kBiRgb);
    appendLe32(dib, static_cast<uint32_t>(imageSize));
    for (int i = 0; i < 4; ++i) appendLe32(dib, 0);  // resolution and colour counts
    for (uint32_t row = bitmap.height; row-- > 0;) {
        dib.append(bitmap.pixels, static_cast<size_t>(row * stride), static_cast<size_t>(stride));
    }
    return dib;
}

}  // namespace tov
