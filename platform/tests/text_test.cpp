#include "platform/text.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

TEST(Text, RoundTripsEveryPlane) {
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
    const std::wstring wide = widen(utf8);
    if constexpr (sizeof(wchar_t) == 2) {
        ASSERT_EQ(wide.size(), 6u);  // the emoji takes a surrogate pair
        EXPECT_EQ(static_cast<unsigned>(wide[3]), 0xD83Du);
        EXPECT_EQ(static_cast<unsigned>(wide[4]), 0xDE00u);
    } else {
        ASSERT_EQ(wide.size(), 5u);
        EXPECT_EQ(static_cast<unsigned>(wide[3]), 0x1F600u);
    }
    EXPECT_EQ(narrow(wide), utf8);
}

TEST(Text, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(narrow(widen("\xFF")), "\xEF\xBF\xBD");
    EXPECT_EQ(narrow(widen("a\xE2\x82")), "a\xEF\xBF\xBD\xEF\xBF\xBD");  // cut-off sequence
    EXPECT_EQ(narrow(widen("\xC0\xAF")), "\xEF\xBF\xBD\xEF\xBF\xBD");    // overlong slash
    std::wstring lone;
    lone += static_cast<wchar_t>(0xD800);
    EXPECT_EQ(narrow(lone), "\xEF\xBF\xBD");
}

TEST(Text, Utf16UnitsWhateverTheWideCharacter) {
    const std::string utf8 = "a\xC3\xA9\xF0\x9F\x98\x80";  // a é 😀
    const std::u16string units = utf8ToUtf16(utf8);
    EXPECT_EQ(units, u"a\u00e9\U0001F600");
    EXPECT_EQ(units.size(), 4u);
    EXPECT_EQ(utf16ToUtf8(units), utf8);
    EXPECT_EQ(utf16ToUtf8(u"x\xDC00y"), "x\xEF\xBF\xBDy");              // lone low surrogate
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, 0xD83D)), "\xEF\xBF\xBD");  // cut-off pair
    EXPECT_EQ(utf8ToUtf16("\xFFz"), u"\xFFFDz");
}

TEST(Text, SevenBitNarrowingAndByteWidening) {
    EXPECT_EQ(narrowTo7Bit(widen("Pixel \xC3\xA9t\xC3\xA9")), "Pixel ?t?");
    const std::wstring bytes = widenBytes("\xE9x");
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned>(bytes[0]), 0xE9u);
}

}  // namespace
}  // namespace tov
