// Small readers for the texts adb and the phone print back. Pure functions, so every parser of
// the phone link can be fed any bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tov {

// Splits at "\n" and drops one trailing "\r" from each line. Empty lines are kept.
std::vector<std::string_view> splitLines(std::string_view text);

// Without trailing "\r", "\n" and spaces.
std::string_view trimTrailing(std::string_view text);
// Without leading and trailing spaces and tabs.
std::string_view trimBlanks(std::string_view text);

bool startsWith(std::string_view text, std::string_view prefix);
bool contains(std::string_view text, std::string_view part);

// A decimal number read the way "%d" reads it: leading white space, an optional sign, at least
// one digit. `text` is advanced past it. Nothing when no digit follows or the value does not fit.
std::optional<int64_t> readDecimal(std::string_view& text);
// The same, limited to 32 bits.
std::optional<int32_t> readDecimal32(std::string_view& text);

// A number that does not parse reads as 0.
int32_t decimalOrZero(std::string_view text);
int64_t decimal64OrZero(std::string_view text);

// "%dx%d": two numbers with an "x" between them. Nothing unless both read.
struct SizeText {
    int32_t width = 0;
    int32_t height = 0;
};
std::optional<SizeText> readSize(std::string_view text);
// "%dx%d" of a size.
std::string sizeText(int32_t width, int32_t height);

// At most `limit` bytes of the text, control characters turned into spaces, so that a phone's
// answer can go into one log line.
std::string logExcerpt(std::string_view text, size_t limit);

}  // namespace tov
