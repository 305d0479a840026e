#include <gtest/gtest.h>

#include "platform/text.h"

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
    EXPECT_EQ(narrow(widen("\xC0\xAF")), "\xEF\xBF\xBD\xEF\xBF\xBD");      // overlong slash
    std::wstring lone;
    lone += static_cast<wchar_t>(0xD800);
    EXPECT_EQ(narrow(lone), "\xEF\xBF\xBD");
}

TEST(Text, SevenBitNarrowingAndByteWidening) {
    EXPECT_EQ(narrowTo7Bit(widen("Pixel \xC3\xA9t\xC3\xA9")), "Pixel ?t?");
    const std::wstring bytes = widenBytes("\xE9x");
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned>(bytes[0]), 0xE9u);
}

}  // namespace
}  // namespace tov
