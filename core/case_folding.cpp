#include "core/case_folding.h"

#include <cstdint>

namespace tov {
namespace {

// Code points first..last fold by adding `delta`; with `alternate`, only those of first's parity
// do (a capital and its small letter side by side).
struct FoldRange {
    char32_t first;
    char32_t last;
    int32_t delta;
    bool alternate;
};

// From Unicode's CaseFolding.txt (status C and S), in order.
constexpr FoldRange kFolds[] = {
    {0x0041, 0x005A, 32, false},   {0x00B5, 0x00B5, 775, false},  // µ → μ
    {0x00C0, 0x00D6, 32, false},   {0x00D8, 0x00DE, 32, false},   {0x0100, 0x012F, 1, true},
    {0x0132, 0x0137, 1, true},     {0x0139, 0x0148, 1, true},     {0x014A, 0x0177, 1, true},
    {0x0178, 0x0178, -121, false},                                 // Ÿ → ÿ
    {0x0179, 0x017E, 1, true},     {0x017F, 0x017F, -268, false},  // ſ → s
    {0x0345, 0x0345, 116, false},                                  // combining ypogegrammeni → ι
    {0x0370, 0x0373, 1, true},     {0x0376, 0x0376, 1, false},    {0x037F, 0x037F, 116, false},
    {0x0386, 0x0386, 38, false},   {0x0388, 0x038A, 37, false},   {0x038C, 0x038C, 64, false},
    {0x038E, 0x038F, 63, false},   {0x0391, 0x03A1, 32, false},   {0x03A3, 0x03AB, 32, false},
    {0x03C2, 0x03C2, 1, false},  // final ς → σ
    {0x03CF, 0x03CF, 8, false},    {0x03D0, 0x03D0, -30, false},  {0x03D1, 0x03D1, -25, false},
    {0x03D5, 0x03D5, -15, false},  {0x03D6, 0x03D6, -22, false},  {0x03D8, 0x03EF, 1, true},
    {0x03F0, 0x03F0, -54, false},  {0x03F1, 0x03F1, -48, false},  {0x03F4, 0x03F4, -60, false},
    {0x03F5, 0x03F5, -64, false},  {0x03F7, 0x03F7, 1, false},    {0x03F9, 0x03F9, -7, false},
    {0x03FA, 0x03FA, 1, false},    {0x03FD, 0x03FF, -130, false}, {0x0400, 0x040F, 80, false},
    {0x0410, 0x042F, 32, false},   {0x0460, 0x0481, 1, true},     {0x048A, 0x04BF, 1, true},
    {0x04C0, 0x04C0, 15, false},   {0x04C1, 0x04CE, 1, true},     {0x04D0, 0x052F, 1, true},
};

char32_t folded(char32_t c) {
    for (const FoldRange& r : kFolds) {
        if (c < r.first) break;
        if (c > r.last) continue;
        if (r.alternate && (c - r.first) % 2 != 0) return c;
        return static_cast<char32_t>(static_cast<int32_t>(c) + r.delta);
    }
    return c;
}

// The code point of the one- or two-byte sequence at `at` and its length; 0 for anything else
// (the table ends below U+0800, so longer sequences need no folding).
size_t decode(std::string_view text, size_t at, char32_t& c) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
    const auto follows = [&](size_t i) { return at + i < text.size() && (byte(i) & 0xC0) == 0x80; };
    if (byte(0) < 0x80) {
        c = byte(0);
        return 1;
    }
    if (byte(0) >= 0xC2 && byte(0) < 0xE0 && follows(1)) {
        c = (static_cast<char32_t>(byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
        return 2;
    }
    return 0;
}

void encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string caseFolded(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        char32_t c = 0;
        const size_t length = decode(utf8, at, c);
        if (length == 0) {
            // Longer sequences and stray bytes are kept as they are.
            out += utf8[at++];
            continue;
        }
        encode(folded(c), out);
        at += length;
    }
    return out;
}

}  // namespace tov
