#include "platform/text.h"

#include <cstdint>

namespace tov {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at s[i], advancing i; malformed input gives U+FFFD for one byte.
char32_t decodeUtf8(std::string_view s, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= s.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += extra + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Appends one code point as UTF-16 units to a string of 16-bit units.
template <typename Unit>
void appendUtf16(std::basic_string<Unit>& out, char32_t cp) {
    if (cp >= 0x10000) {
        const char32_t v = cp - 0x10000;
        out += static_cast<Unit>(0xD800 + (v >> 10));
        out += static_cast<Unit>(0xDC00 + (v & 0x3FF));
    } else {
        out += static_cast<Unit>(cp);
    }
}

// UTF-16 units (any 16-bit unit type) to UTF-8; unpaired surrogates become U+FFFD.
template <typename Unit>
std::string utf16UnitsToUtf8(std::basic_string_view<Unit> units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t cp = static_cast<char32_t>(units[i]) & 0xFFFF;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size()) {
            const char32_t low = static_cast<char32_t>(units[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = kReplacement;
        appendUtf8(out, cp);
    }
    return out;
}

}  // namespace

std::wstring widen(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = decodeUtf8(utf8, i);
        if constexpr (sizeof(wchar_t) == 2) {
            appendUtf16(out, cp);
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return out;
}

std::string narrow(std::wstring_view wide) {
    if constexpr (sizeof(wchar_t) == 2) return utf16UnitsToUtf8(wide);
    std::string out;
    out.reserve(wide.size());
    for (wchar_t c : wide) {
        char32_t cp = static_cast<char32_t>(c);
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
        appendUtf8(out, cp);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) appendUtf16(out, decodeUtf8(utf8, i));
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    return utf16UnitsToUtf8(utf16);
}

std::wstring widenBytes(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

std::string narrowTo7Bit(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t c : wide) {
        const auto unit = static_cast<uint32_t>(c);
        out += unit < 128 ? static_cast<char>(unit) : '?';
    }
    return out;
}

}  // namespace tov
