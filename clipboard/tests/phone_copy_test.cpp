#include "clipboard/phone_copy.h"

#include <gtest/gtest.h>

#include "clipboard/pc_copy.h"
#include "clipboard/tests/memory_clipboard.h"
#include "clipboard/tests/test_pictures.h"

namespace tov {
namespace {

class PhoneCopyTest : public ::testing::Test {
  protected:
    bool put(const ClipItem& item) {
        EXPECT_TRUE(clipboard.open());
        clipboard.empty();
        const bool ok = putPhoneCopy(clipboard, coder, item);
        clipboard.close();
        return ok;
    }
    test::MemoryClipboard clipboard;
    test::TestCoder coder;
};

TEST(UnicodeBlock, NulTerminatedUtf16) {
    EXPECT_EQ(unicodeBlockFromText(""), std::string(2, '\0'));
    EXPECT_EQ(unicodeBlockFromText("A\xC3\xA9"), std::string("A\0\xE9\0\0\0", 6));
    const std::string pair = unicodeBlockFromText("\xF0\x9F\x98\x80");
    EXPECT_EQ(pair, std::string("\x3D\xD8\x00\xDE\0\0", 6));
    EXPECT_EQ(textFromUnicodeBlock(pair), "\xF0\x9F\x98\x80");
}

TEST_F(PhoneCopyTest, TextWithTheMarker) {
    ASSERT_TRUE(put({kClipText, false, "text/plain", "hello"}));
    EXPECT_EQ(clipboard.formats[ClipFormat::UnicodeText], std::string("h\0e\0l\0l\0o\0\0\0", 12));
    EXPECT_EQ(clipboard.formats[ClipFormat::Marker], std::string(1, '\0'));
    EXPECT_EQ(clipboard.formats.count(ClipFormat::ExcludeFromMonitoring), 0u);
    EXPECT_EQ(clipboard.formats.count(ClipFormat::HistoryPermission), 0u);
    EXPECT_EQ(clipboard.formats.size(), 2u);
}

TEST_F(PhoneCopyTest, PrivateCopyCarriesBothPrivateFormats) {
    ASSERT_TRUE(put({kClipText, true, "text/plain", "hunter2"}));
    EXPECT_EQ(clipboard.formats[ClipFormat::ExcludeFromMonitoring], std::string(1, '\0'));
    EXPECT_EQ(clipboard.formats[ClipFormat::HistoryPermission], std::string(4, '\0'));
    // Read back, it counts as private.
    ASSERT_TRUE(clipboard.open());
    EXPECT_TRUE(isPrivateCopy(clipboard));
    clipboard.close();
}

TEST_F(PhoneCopyTest, PngPictureKeepsItsBytesBesideTheDib) {
    const Bitmap bitmap = test::patternBitmap(3, 5);
    const std::string png = coder.encodePng(bitmap);
    ASSERT_TRUE(put({kClipPicture, false, "image/png", png}));
    EXPECT_EQ(clipboard.formats[ClipFormat::Png], png);
    const auto dib = test::bitmapFromDib(clipboard.formats[ClipFormat::Dib]);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->width, 3u);
    EXPECT_EQ(dib->height, 5u);
    EXPECT_EQ(dib->pixels, bitmap.pixels);
    EXPECT_EQ(coder.encodes, 1);  // only to make the test's picture
    EXPECT_TRUE(clipboard.formats.count(ClipFormat::Marker));
}

TEST_F(PhoneCopyTest, OtherPicturesAreReencodedAsPng) {
    // Any kind but text is a picture; a BMP from the phone still gives CF_DIB and "PNG".
    const Bitmap bitmap = test::patternBitmap(2, 2);
    const std::string bmp = test::TestCoder().encodePng(bitmap);
    ASSERT_TRUE(put({7, false, "image/jpeg", bmp}));
    EXPECT_EQ(coder.encodes, 1);
    EXPECT_EQ(clipboard.formats[ClipFormat::Png], coder.encodePng(bitmap));
    EXPECT_TRUE(clipboard.formats.count(ClipFormat::Dib));
}

TEST_F(PhoneCopyTest, UndecodablePictureFailsButStillCarriesTheMarker) {
    EXPECT_FALSE(put({kClipPicture, true, "image/png", "not a picture"}));
    EXPECT_EQ(clipboard.formats.count(ClipFormat::Dib), 0u);
    EXPECT_EQ(clipboard.formats.count(ClipFormat::Png), 0u);
    EXPECT_TRUE(clipboard.formats.count(ClipFormat::Marker));
    EXPECT_TRUE(clipboard.formats.count(ClipFormat::ExcludeFromMonitoring));
}

TEST_F(PhoneCopyTest, RefusedFormatsFailTheWrite) {
    clipboard.refused = {ClipFormat::UnicodeText};
    EXPECT_FALSE(put({kClipText, false, "text/plain", "x"}));
    EXPECT_TRUE(clipboard.formats.count(ClipFormat::Marker));

    clipboard.refused = {ClipFormat::Dib};
    const std::string png = coder.encodePng(test::patternBitmap(1, 1));
    EXPECT_FALSE(put({kClipPicture, false, "image/png", png}));
    EXPECT_EQ(clipboard.formats[ClipFormat::Png], png);  // what could be set stays

    clipboard.refused = {ClipFormat::Png};
    EXPECT_TRUE(put({kClipPicture, false, "image/png", png}));  // the DIB decides
}

}  // namespace
}  // namespace tov
