#include "clipboard/dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "clipboard/tests/test_pictures.h"

namespace tov {
namespace {

uint32_t le32(std::string_view s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

void setLe32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A DIB header block with the given fields, followed by `extra` bytes of colours and pixels.
std::string dibBlock(uint32_t biSize, uint16_t bitCount, uint32_t compression, uint32_t clrUsed,
                     size_t extra) {
    std::string dib(std::clamp<size_t>(biSize, 40, 124) + extra, '\x5A');
    setLe32(dib, 0, biSize);
    setLe32(dib, 4, 2);
    setLe32(dib, 8, 2);
    dib[12] = 1, dib[13] = 0;
    dib[14] = static_cast<char>(bitCount), dib[15] = 0;
    setLe32(dib, 16, compression);
    setLe32(dib, 32, clrUsed);
    return dib;
}

uint32_t pixelOffsetOf(const std::string& dib) {
    return le32(dibToBmpFile(dib), 10);
}

TEST(DibToBmpFile, FileHeaderInFrontOfTheBlock) {
    const std::string dib = dibBlock(40, 32, 0, 0, 16);
    const std::string bmp = dibToBmpFile(dib);
    ASSERT_EQ(bmp.size(), dib.size() + 14);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(le32(bmp, 2), dib.size() + 14);
    EXPECT_EQ(le32(bmp, 6), 0u);  // both reserved words
    EXPECT_EQ(le32(bmp, 10), 54u);
    EXPECT_EQ(bmp.substr(14), dib);
}

TEST(DibToBmpFile, PixelOffsetFollowsColoursAndMasks) {
    // Palettes: 2^bits colours unless biClrUsed says otherwise.
    EXPECT_EQ(pixelOffsetOf(dibBlock(40, 8, 0, 0, 1024)), 14u + 40 + 1024);
    EXPECT_EQ(pixelOffsetOf(dibBlock(40, 1, 0, 0, 8)), 14u + 40 + 8);
    EXPECT_EQ(pixelOffsetOf(dibBlock(40, 4, 0, 3, 12)), 14u + 40 + 12);
    // Above 8 bits there is no palette unless biClrUsed asks for one.
    EXPECT_EQ(pixelOffsetOf(dibBlock(40, 24, 0, 0, 12)), 54u);
    EXPECT_EQ(pixelOffsetOf(dibBlock(40, 32, 0, 2, 12)), 54u + 8);
    // Three colour masks follow a 40-byte header with BI_BITFIELDS, not a larger header.
    EXPECT_EQ(pixelOffsetOf(dibBlock(40, 32, 3, 0, 16)), 54u + 12);
    EXPECT_EQ(pixelOffsetOf(dibBlock(40, 16, 3, 0, 16)), 54u + 12);
    EXPECT_EQ(pixelOffsetOf(dibBlock(124, 32, 3, 0, 16)), 14u + 124);
    EXPECT_EQ(pixelOffsetOf(dibBlock(108, 32, 0, 0, 16)), 14u + 108);
}

TEST(DibToBmpFile, ShortOrInconsistentBlocksGiveNothing) {
    EXPECT_TRUE(dibToBmpFile("").empty());
    EXPECT_TRUE(dibToBmpFile(std::string(39, '\0')).empty());
    EXPECT_FALSE(dibToBmpFile(dibBlock(40, 32, 0, 0, 0)).empty());  // exactly a header
    // Colours that would start the pixels past the end of the block, or wrap a 32-bit offset.
    EXPECT_TRUE(dibToBmpFile(dibBlock(40, 8, 0, 0, 100)).empty());
    EXPECT_TRUE(dibToBmpFile(dibBlock(40, 32, 0, 0x40000000, 64)).empty());
    EXPECT_TRUE(dibToBmpFile(dibBlock(0xFFFFFFF0u, 32, 0, 0, 64)).empty());
    EXPECT_TRUE(dibToBmpFile(dibBlock(40, 32, 3, 0, 8)).empty());  // masks cut off
    // A header size below a BITMAPINFOHEADER's would put the pixels inside the header.
    EXPECT_TRUE(dibToBmpFile(dibBlock(0, 32, 0, 0, 64)).empty());
    EXPECT_TRUE(dibToBmpFile(dibBlock(12, 32, 0, 0, 64)).empty());
    EXPECT_TRUE(dibToBmpFile(dibBlock(39, 32, 0, 0, 64)).empty());
}

TEST(DibFromBitmap, BottomUp32BitHeader) {
    const Bitmap bitmap = test::patternBitmap(3, 2);
    const std::string dib = dibFromBitmap(bitmap);
    ASSERT_EQ(dib.size(), 40u + 3 * 2 * 4);
    EXPECT_EQ(le32(dib, 0), 40u);
    EXPECT_EQ(le32(dib, 4), 3u);
    EXPECT_EQ(le32(dib, 8), 2u);          // positive height: bottom-up
    EXPECT_EQ(le32(dib, 12), 0x200001u);  // 1 plane, 32 bits
    EXPECT_EQ(le32(dib, 16), 0u);         // BI_RGB
    EXPECT_EQ(le32(dib, 20), 24u);
    for (size_t at = 24; at < 40; at += 4) EXPECT_EQ(le32(dib, at), 0u) << at;
    // The last row is stored first.
    EXPECT_EQ(dib.substr(40, 12), bitmap.pixels.substr(12, 12));
    EXPECT_EQ(dib.substr(52, 12), bitmap.pixels.substr(0, 12));
}

TEST(DibFromBitmap, RoundTripsThroughABmpFile) {
    const Bitmap bitmap = test::patternBitmap(5, 4);
    test::TestCoder coder;
    const auto back = coder.decode(dibToBmpFile(dibFromBitmap(bitmap)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, 5u);
    EXPECT_EQ(back->height, 4u);
    EXPECT_EQ(back->pixels, bitmap.pixels);
}

TEST(DibFromBitmap, PixelsThatDontMatchTheSizeGiveNothing) {
    Bitmap bitmap = test::patternBitmap(2, 2);
    bitmap.pixels.pop_back();
    EXPECT_TRUE(dibFromBitmap(bitmap).empty());
    EXPECT_TRUE(dibFromBitmap(Bitmap{0x80000000u, 0, {}}).empty());
    EXPECT_EQ(dibFromBitmap(Bitmap{0, 0, {}}).size(), 40u);
}

}  // namespace
}  // namespace tov
