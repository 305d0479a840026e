#include "phone/output_text.h"

#include <limits>

namespace tov {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

std::string_view trimTrailing(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::optional<int64_t> readDecimal(std::string_view& text) {
    std::string_view rest = text;
    while (!rest.empty() &&
           (rest.front() == ' ' || (rest.front() >= '\t' && rest.front() <= '\r'))) {
        rest.remove_prefix(1);
    }
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty() || rest.front() < '0' || rest.front() > '9') return std::nullopt;
    // Accumulate as a negative number so that the smallest value fits too.
    int64_t value = 0;
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') {
        const int digit = rest.front() - '0';
        if (value < (kMin + digit) / 10) return std::nullopt;
        value = value * 10 - digit;
        rest.remove_prefix(1);
    }
    if (!negative) {
        if (value == kMin) return std::nullopt;
        value = -value;
    }
    text = rest;
    return value;
}

std::optional<int32_t> readDecimal32(std::string_view& text) {
    std::string_view rest = text;
    const std::optional<int64_t> value = readDecimal(rest);
    if (!value || *value < std::numeric_limits<int32_t>::min() ||
        *value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    text = rest;
    return static_cast<int32_t>(*value);
}

int32_t decimalOrZero(std::string_view text) {
    return readDecimal32(text).value_or(0);
}

int64_t decimal64OrZero(std::string_view text) {
    return readDecimal(text).value_or(0);
}

std::optional<SizeText> readSize(std::string_view text) {
    const std::optional<int32_t> width = readDecimal32(text);
    if (!width || text.empty() || text.front() != 'x') return std::nullopt;
    text.remove_prefix(1);
    const std::optional<int32_t> height = readDecimal32(text);
    if (!height) return std::nullopt;
    return SizeText{*width, *height};
}

std::string sizeText(int32_t width, int32_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string logExcerpt(std::string_view text, size_t limit) {
    std::string excerpt(text.substr(0, limit));
    for (char& c : excerpt) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    return excerpt;
}

}  // namespace tov
