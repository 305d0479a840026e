#include "clipboard/pc_copy.h"

#include <gtest/gtest.h>

#include "clipboard/dib.h"
#include "clipboard/tests/memory_clipboard.h"
#include "clipboard/tests/test_pictures.h"
#include "platform/text.h"

namespace tov {
namespace {

using test::MemoryClipboard;

// A CF_UNICODETEXT block as programs put it there: UTF-16 with a terminating NUL.
std::string unicodeBlock(std::u16string_view text) {
    std::string block;
    for (char16_t u : text) {
        block += static_cast<char>(u & 0xFF);
        block += static_cast<char>(u >> 8);
    }
    return block + std::string(2, '\0');
}

class PcCopyTest : public ::testing::Test {
  protected:
    std::optional<ClipItem> take(ShareOptions options = {}) {
        EXPECT_TRUE(clipboard.open());
        auto item = takePcCopy(clipboard, coder, options);
        clipboard.close();
        return item;
    }
    MemoryClipboard clipboard;
    test::TestCoder coder;
    const ShareOptions all{true, true};
};

TEST_F(PcCopyTest, TextIsSentAsUtf8) {
    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(u"caf\u00e9 \U0001F600")}});
    const auto item = take();
    ASSERT_TRUE(item);
    EXPECT_EQ(item->kind, kClipText);
    EXPECT_EQ(item->mime, "text/plain");
    EXPECT_EQ(item->data, "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_FALSE(item->isPrivate);
}

TEST(UnicodeBlockText, EndsAtTheFirstNulOrTheBlock) {
    EXPECT_EQ(textFromUnicodeBlock(unicodeBlock(u"ab") + unicodeBlock(u"cd")), "ab");
    EXPECT_EQ(textFromUnicodeBlock(std::string("a\0b\0", 4)), "ab");  // no terminator
    EXPECT_EQ(textFromUnicodeBlock(std::string("a\0b", 3)), "a");     // odd trailing byte
    EXPECT_EQ(textFromUnicodeBlock(std::string("\0\0x\0", 4)), "");
    EXPECT_EQ(textFromUnicodeBlock(std::string("\x3D\xD8", 2)), "\xEF\xBF\xBD");  // lone high
}

TEST_F(PcCopyTest, TheProgramsOwnCopyIsNeverRead) {
    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(u"echo")},
                    {ClipFormat::Marker, std::string(1, '\0')}});
    EXPECT_FALSE(take(all));
    EXPECT_TRUE(clipboard.reads.empty());
}

TEST_F(PcCopyTest, TextLengthLimits) {
    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(u"")}});
    EXPECT_FALSE(take(all));

    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(std::u16string(0x100000, u'x'))}});
    const auto largest = take();
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->data.size(), 0x100000u);

    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(std::u16string(0x100001, u'x'))}});
    EXPECT_FALSE(take());
    // Counted in UTF-8 bytes: 0x80000 two-byte letters fill the limit, one more passes it.
    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(std::u16string(0x80000, u'\u00e9'))}});
    EXPECT_TRUE(take());
    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(std::u16string(0x80001, u'\u00e9'))}});
    EXPECT_FALSE(take());
}

TEST_F(PcCopyTest, AnOversizedTextBlockSendsNothingAndTriesNoPicture) {
    std::string huge = unicodeBlock(u"short text");
    huge.resize(0x400001, '\0');  // a NUL early on, but the block itself is too large
    clipboard.copy({{ClipFormat::UnicodeText, huge},
                    {ClipFormat::Png, "png bytes"},
                    {ClipFormat::Dib, dibFromBitmap(test::patternBitmap(2, 2))}});
    EXPECT_FALSE(take(all));
    EXPECT_EQ(clipboard.reads.count(ClipFormat::Png), 0u);
    EXPECT_EQ(clipboard.reads.count(ClipFormat::Dib), 0u);
    EXPECT_EQ(coder.decodes, 0);

    huge.resize(0x400000);  // at the limit it is read
    clipboard.copy({{ClipFormat::UnicodeText, huge}});
    ASSERT_TRUE(take());
}

TEST_F(PcCopyTest, TextGoesBeforeAPicture) {
    clipboard.copy(
        {{ClipFormat::UnicodeText, unicodeBlock(u"caption")}, {ClipFormat::Png, "png bytes"}});
    const auto item = take(all);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->kind, kClipText);
    EXPECT_EQ(item->data, "caption");
}

TEST_F(PcCopyTest, PicturesOnlyWhenShared) {
    clipboard.copy({{ClipFormat::Png, "png bytes"}});
    EXPECT_FALSE(take({false, true}));
    const auto item = take({true, false});
    ASSERT_TRUE(item);
    EXPECT_EQ(item->kind, kClipPicture);
    EXPECT_EQ(item->mime, "image/png");
    EXPECT_EQ(item->data, "png bytes");  // as offered, not re-encoded
    EXPECT_EQ(coder.decodes + coder.encodes, 0);
}

TEST_F(PcCopyTest, ADibOnlyPictureIsReencodedAsPng) {
    const Bitmap bitmap = test::patternBitmap(4, 3);
    clipboard.copy({{ClipFormat::Dib, dibFromBitmap(bitmap)}});
    const auto item = take(all);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->mime, "image/png");
    EXPECT_EQ(coder.lastDecoded.substr(0, 2), "BM");  // handed over as a BMP file
    const auto decoded = coder.decode(item->data);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixels, bitmap.pixels);
}

TEST_F(PcCopyTest, PictureSizeLimits) {
    clipboard.copy({{ClipFormat::Png, std::string(0x1400000, 'p')}});
    EXPECT_TRUE(take(all));
    // Too large a "PNG" reads as empty; the DIB beside it is not tried instead.
    clipboard.copy({{ClipFormat::Png, std::string(0x1400001, 'p')},
                    {ClipFormat::Dib, dibFromBitmap(test::patternBitmap(2, 2))}});
    EXPECT_FALSE(take(all));
    EXPECT_EQ(coder.decodes, 0);

    clipboard.copy({{ClipFormat::Png, ""}});
    EXPECT_FALSE(take(all));
    clipboard.copy({{ClipFormat::Dib, std::string(39, '\0')}});
    EXPECT_FALSE(take(all));
    clipboard.copy({{ClipFormat::Dib, dibFromBitmap(test::patternBitmap(1, 1)) + "x"}});
    clipboard.formats[ClipFormat::Dib][14] = 24;  // a format the coder can't read
    EXPECT_FALSE(take(all));
    clipboard.copy({{ClipFormat::ViewerIgnore, ""}});  // nothing to send at all
    EXPECT_FALSE(take(all));
}

TEST_F(PcCopyTest, EachPrivateMarkHoldsTheCopyBackUnlessPasswordsAreShared) {
    const std::pair<ClipFormat, std::string> marks[] = {
        {ClipFormat::ExcludeFromMonitoring, std::string(1, '\0')},
        {ClipFormat::ViewerIgnore, ""},
        {ClipFormat::HistoryPermission, std::string(4, '\0')},
    };
    for (const auto& [format, value] : marks) {
        SCOPED_TRACE(static_cast<int>(format));
        clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(u"hunter2")}, {format, value}});
        EXPECT_FALSE(take({true, false}));
        const auto item = take({false, true});
        ASSERT_TRUE(item);
        EXPECT_TRUE(item->isPrivate);
        EXPECT_EQ(item->data, "hunter2");
    }
    clipboard.copy({{ClipFormat::Png, "secret picture"}, marks[0]});
    const auto picture = take(all);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->isPrivate);
}

TEST(HistoryPermission, OnlyAZeroFirstValueInASmallBlockMarksPrivate) {
    EXPECT_TRUE(historyBlockMarksPrivate(std::string(4, '\0')));
    EXPECT_TRUE(historyBlockMarksPrivate(std::string(4, '\0') + std::string(12, '\1')));
    EXPECT_FALSE(historyBlockMarksPrivate(std::string(17, '\0')));
    EXPECT_FALSE(historyBlockMarksPrivate(std::string(3, '\0')));
    EXPECT_FALSE(historyBlockMarksPrivate(""));
    EXPECT_FALSE(historyBlockMarksPrivate(std::string("\1\0\0\0", 4)));
    EXPECT_FALSE(historyBlockMarksPrivate(std::string("\0\0\0\1", 4)));
}

TEST_F(PcCopyTest, AHistoryBlockOutsideItsLimitsIsNotPrivate) {
    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(u"text")},
                    {ClipFormat::HistoryPermission, std::string(17, '\0')}});
    const auto item = take();
    ASSERT_TRUE(item);
    EXPECT_FALSE(item->isPrivate);
    clipboard.copy({{ClipFormat::UnicodeText, unicodeBlock(u"text")},
                    {ClipFormat::HistoryPermission, std::string("\1\0\0\0", 4)}});
    ASSERT_TRUE(take());
}

}  // namespace
}  // namespace tov
