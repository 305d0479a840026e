#include "update/version.h"

#include <array>
#include <climits>

namespace tov {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The three numbers as "%d.%d.%d" reads them: blanks and a sign before each number are allowed,
// and a number too large for an int stops at INT_MAX instead of overflowing.
std::array<int, 3> versionNumbers(std::string_view text) {
    std::array<int, 3> numbers{0, 0, 0};
    text = withoutVersionPrefix(text);
    size_t pos = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') break;
            ++pos;
        }
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        bool negative = false;
        if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
            negative = text[pos] == '-';
            ++pos;
        }
        if (pos >= text.size() || !isDigit(text[pos])) break;
        long long value = 0;
        while (pos < text.size() && isDigit(text[pos])) {
            if (value < INT_MAX) value = value * 10 + (text[pos] - '0');
            ++pos;
        }
        if (value > INT_MAX) value = INT_MAX;
        numbers[i] = static_cast<int>(negative ? -value : value);
    }
    return numbers;
}

}  // namespace

std::string_view withoutVersionPrefix(std::string_view text) {
    if (!text.empty() && (text[0] == 'v' || text[0] == 'V')) text.remove_prefix(1);
    return text;
}

int compareVersions(std::string_view a, std::string_view b) {
    const std::array<int, 3> x = versionNumbers(a), y = versionNumbers(b);
    for (size_t i = 0; i < x.size(); ++i) {
        if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}

bool isPlainVersion(std::string_view text) {
    if (text.empty() || text.size() > kMaxVersionLength) return false;
    bool groupHasDigit = false;
    for (char c : text) {
        if (isDigit(c)) {
            groupHasDigit = true;
        } else if (c == '.' && groupHasDigit) {
            groupHasDigit = false;
        } else {
            return false;
        }
    }
    return groupHasDigit;
}

}  // namespace tov
