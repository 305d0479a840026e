#include "core/text_characters.h"

#include <cstdint>

namespace tov {
namespace {

constexpr char32_t kJoiner = 0x200D;

// The next code point at `at` and its length in bytes; an invalid sequence is one byte long and
// reads as U+FFFD.
char32_t decode(std::string_view text, size_t at, size_t& length) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    size_t n = lead < 0x80           ? 1
               : (lead >> 5) == 0x6  ? 2
               : (lead >> 4) == 0xE  ? 3
               : (lead >> 3) == 0x1E ? 4
                                     : 0;
    length = 1;
    if (n == 0 || at + n > text.size()) return n == 1 ? lead : U'\uFFFD';
    char32_t cp = n == 1 ? lead : lead & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return U'\uFFFD';
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    length = n;
    return cp;
}

// Marks that belong to the character before them.
bool extends(char32_t c) {
    struct Range {
        char32_t first, last;
    };
    static constexpr Range kRanges[] = {
        {0x0300, 0x036F},   {0x0483, 0x0489}, {0x0591, 0x05C7}, {0x0610, 0x061A},
        {0x064B, 0x065F},   {0x0670, 0x0670}, {0x06D6, 0x06ED}, {0x0900, 0x0903},
        {0x093A, 0x094F},   {0x0951, 0x0957}, {0x0962, 0x0963}, {0x0981, 0x0983},
        {0x09BC, 0x09D7},   {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},
        {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF}, {0x200C, 0x200D}, {0x20D0, 0x20FF},
        {0x302A, 0x302F},   {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
        {0x1F3FB, 0x1F3FF},  // skin tones
        {0xE0020, 0xE007F},  // tags of subdivision flags
        {0xE0100, 0xE01EF},
    };
    for (const Range& r : kRanges) {
        if (c >= r.first && c <= r.last) return true;
    }
    return false;
}

bool regionalIndicator(char32_t c) {
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

}  // namespace

std::vector<std::string_view> textCharacters(std::string_view utf8) {
    std::vector<std::string_view> characters;
    size_t start = 0;
    char32_t previous = 0;
    int indicators = 0;  // regional indicators in the current character
    for (size_t at = 0; at < utf8.size();) {
        size_t length = 1;
        const char32_t c = decode(utf8, at, length);
        const bool pairsFlag = regionalIndicator(c) && indicators == 1;
        const bool joins = at > 0 && (extends(c) || previous == kJoiner || pairsFlag);
        if (!joins && at > start) {
            characters.push_back(utf8.substr(start, at - start));
            start = at;
            indicators = 0;
        }
        if (regionalIndicator(c)) ++indicators;
        previous = c;
        at += length;
    }
    if (start < utf8.size()) characters.push_back(utf8.substr(start));
    return characters;
}

}  // namespace tov
