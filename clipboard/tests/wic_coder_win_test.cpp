#include "clipboard/wic_coder_win.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <objbase.h>

#include "core/log.h"
#include "clipboard/dib.h"
#include "clipboard/pc_copy.h"
#include "clipboard/tests/test_pictures.h"
#include "platform/files.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

class WicCoderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
    WicPictureCoder coder;
};

void setLe32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

TEST_F(WicCoderTest, PngRoundTripKeepsEveryPixel) {
    Bitmap bitmap = test::patternBitmap(7, 5);
    bitmap.pixels[3] = static_cast<char>(0x80);  // one half-transparent pixel
    const std::string png = coder.encodePng(bitmap);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
    const auto back = coder.decode(png);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, 7u);
    EXPECT_EQ(back->height, 5u);
    EXPECT_EQ(back->pixels, bitmap.pixels);
}

TEST_F(WicCoderTest, ClipboardDibsDecodeThroughTheirBmpFile) {
    const Bitmap bitmap = test::patternBitmap(6, 4);
    // Plain bottom-up 32-bit.
    auto fromRgb = coder.decode(dibToBmpFile(dibFromBitmap(bitmap)));
    ASSERT_TRUE(fromRgb);
    EXPECT_EQ(fromRgb->pixels, bitmap.pixels);

    // BI_BITFIELDS: three masks between the header and the pixels.
    std::string dib = dibFromBitmap(bitmap);
    dib[16] = 3;
    const char masks[] = "\x00\x00\xFF\x00\x00\xFF\x00\x00\xFF\x00\x00\x00";
    dib.insert(40, masks, 12);
    auto fromFields = coder.decode(dibToBmpFile(dib));
    ASSERT_TRUE(fromFields);
    EXPECT_EQ(fromFields->width, 6u);
    for (size_t i = 0; i < bitmap.pixels.size(); i += 4) {  // colour channels; alpha varies
        EXPECT_EQ(fromFields->pixels.substr(i, 3), bitmap.pixels.substr(i, 3)) << i;
    }

    // 8 bits with a full palette: the pixels start after 256 colours.
    std::string paletted(40, '\0');
    const unsigned char header[] = {40, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0};
    std::copy(std::begin(header), std::end(header), paletted.begin());
    for (int c = 0; c < 256; ++c) paletted += std::string{char(c), char(255 - c), char(7), 0};
    paletted += std::string("\x00\x01\xFE\xFF", 4);
    auto fromPalette = coder.decode(dibToBmpFile(paletted));
    ASSERT_TRUE(fromPalette);
    ASSERT_EQ(fromPalette->pixels.size(), 16u);
    EXPECT_EQ(fromPalette->pixels.substr(4, 4), std::string("\x01\xFE\x07\xFF", 4));
    EXPECT_EQ(fromPalette->pixels.substr(12, 4), std::string("\xFF\x00\x07\xFF", 4));
}

TEST_F(WicCoderTest, WhatIsNoPictureDecodesToNothing) {
    EXPECT_FALSE(coder.decode(""));
    EXPECT_FALSE(coder.decode("plain words, not a picture"));
    std::string png = coder.encodePng(test::patternBitmap(2, 2));
    EXPECT_FALSE(coder.decode(png.substr(0, 20)));
    EXPECT_TRUE(coder.encodePng(Bitmap{2, 2, "short"}).empty());
    EXPECT_TRUE(coder.encodePng(Bitmap{}).empty());
}

TEST_F(WicCoderTest, APictureClaimingAHugeSizeIsRefused) {
    // A few bytes of bitmap file that claim 20000 x 20000 pixels of 32 bits.
    std::string dib = dibFromBitmap(test::patternBitmap(1, 1));
    setLe32(dib, 4, 20000);
    setLe32(dib, 8, 20000);
    const std::string bmp = dibToBmpFile(dib);
    ASSERT_FALSE(bmp.empty());
    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    openLog();
    EXPECT_FALSE(coder.decode(bmp));
    std::string log;
    readFile(dir.path() + L"\\Tovenmar\\tovenmar.log", log);
    EXPECT_NE(log.find("clipboard: picture of 20000x20000 refused"), std::string::npos) << log;
}

TEST_F(WicCoderTest, DibReencodedAsPngKeepsThePicture) {
    const Bitmap bitmap = test::patternBitmap(9, 3);
    const auto back = coder.decode(pngFromDib(dibFromBitmap(bitmap), coder));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, bitmap.pixels);
}

}  // namespace
}  // namespace tov
