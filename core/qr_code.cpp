#include "core/qr_code.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>

namespace tov {
namespace {

constexpr int kMinVersion = 1;
constexpr int kMaxVersion = 40;

// Level M, by version: error correction codewords in each block, and the number of blocks.
constexpr std::array<uint8_t, 41> kEcPerBlock = {
    0,  10, 16, 26, 18, 24, 16, 18, 22, 22, 26, 30, 22, 22, 24, 24, 28, 28, 26, 26, 26,
    26, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28};
constexpr std::array<uint8_t, 41> kBlocks = {0,  1,  1,  1,  2,  2,  4,  4,  4,  5,  5,  5,  8,  9,
                                             9,  10, 10, 11, 13, 14, 16, 17, 17, 18, 20, 21, 23, 25,
                                             26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49};

// Modules left for codewords once the function patterns and the format and version
// information are placed.
int dataModules(int version) {
    int n = (16 * version + 128) * version + 64;
    if (version >= 2) {
        int align = version / 7 + 2;
        n -= (25 * align - 10) * align - 55;
        if (version >= 7) n -= 36;
    }
    return n;
}

int totalCodewords(int version) {
    return dataModules(version) / 8;
}

int dataCodewords(int version) {
    return totalCodewords(version) - kEcPerBlock[version] * kBlocks[version];
}

int countBits(int version) {
    return version <= 9 ? 8 : 16;
}

// The centres of the alignment patterns along either axis.
std::vector<int> alignmentCentres(int version) {
    if (version == 1) return {};
    int count = version / 7 + 2;
    int size = 17 + 4 * version;
    int step = version == 32 ? 26 : (version * 4 + count * 2 + 1) / (count * 2 - 2) * 2;
    std::vector<int> centres(count);
    centres[0] = 6;
    for (int i = count - 1, at = size - 7; i >= 1; --i, at -= step) centres[i] = at;
    return centres;
}

// GF(256) with the field polynomial x^8 + x^4 + x^3 + x^2 + 1.
struct Field {
    std::array<uint8_t, 512> exp{};
    std::array<uint8_t, 256> log{};
    Field() {
        int x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[i] = static_cast<uint8_t>(x);
            log[x] = static_cast<uint8_t>(i);
            x <<= 1;
            if (x & 0x100) x ^= 0x11D;
        }
        for (int i = 255; i < 512; ++i) exp[i] = exp[i - 255];
    }
    uint8_t mul(uint8_t a, uint8_t b) const { return a == 0 || b == 0 ? 0 : exp[log[a] + log[b]]; }
};

const Field& field() {
    static const Field f;
    return f;
}

// The error correction codewords of one block: the remainder of data × x^n divided by the
// generator polynomial (x - α^0)(x - α^1)...(x - α^(n-1)).
std::vector<uint8_t> reedSolomon(const std::vector<uint8_t>& data, int n) {
    const Field& f = field();
    // Generator coefficients, highest power first, the leading 1 left out.
    std::vector<uint8_t> gen(n, 0);
    gen[n - 1] = 1;
    uint8_t root = 1;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            gen[j] = f.mul(gen[j], root);
            if (j + 1 < n) gen[j] ^= gen[j + 1];
        }
        root = f.mul(root, 2);
    }
    std::vector<uint8_t> rem(n, 0);
    for (uint8_t b : data) {
        uint8_t factor = b ^ rem[0];
        std::rotate(rem.begin(), rem.begin() + 1, rem.end());
        rem[n - 1] = 0;
        for (int j = 0; j < n; ++j) rem[j] ^= f.mul(gen[j], factor);
    }
    return rem;
}

class BitWriter {
  public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) bits_.push_back(static_cast<uint8_t>((value >> i) & 1));
    }
    size_t size() const { return bits_.size(); }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out(bits_.size() / 8, 0);
        for (size_t i = 0; i < out.size() * 8; ++i)
            out[i / 8] = static_cast<uint8_t>(out[i / 8] | bits_[i] << (7 - i % 8));
        return out;
    }

  private:
    std::vector<uint8_t> bits_;
};

// The data codewords: byte mode indicator, character count, the bytes, terminator and padding.
std::vector<uint8_t> dataStream(std::string_view text, int version) {
    const int capacityBits = dataCodewords(version) * 8;
    BitWriter w;
    w.put(0x4, 4);
    w.put(static_cast<uint32_t>(text.size()), countBits(version));
    for (char c : text) w.put(static_cast<uint8_t>(c), 8);
    w.put(0, std::min<int>(4, capacityBits - static_cast<int>(w.size())));
    w.put(0, static_cast<int>((8 - w.size() % 8) % 8));
    for (uint8_t pad = 0xEC; static_cast<int>(w.size()) < capacityBits; pad ^= 0xEC ^ 0x11)
        w.put(pad, 8);
    return w.bytes();
}

// Splits the data codewords into blocks (the shorter ones first), adds each block's error
// correction and interleaves them as the symbol carries them.
std::vector<uint8_t> finalCodewords(const std::vector<uint8_t>& data, int version) {
    const int blocks = kBlocks[version], ec = kEcPerBlock[version];
    const int shortLength = static_cast<int>(data.size()) / blocks;
    const int longBlocks = static_cast<int>(data.size()) % blocks;
    std::vector<std::vector<uint8_t>> dataBlocks, ecBlocks;
    size_t at = 0;
    for (int b = 0; b < blocks; ++b) {
        size_t length = shortLength + (b >= blocks - longBlocks ? 1 : 0);
        dataBlocks.emplace_back(data.begin() + at, data.begin() + at + length);
        ecBlocks.push_back(reedSolomon(dataBlocks.back(), ec));
        at += length;
    }
    std::vector<uint8_t> out;
    out.reserve(totalCodewords(version));
    for (int i = 0; i <= shortLength; ++i)
        for (const auto& block : dataBlocks)
            if (i < static_cast<int>(block.size())) out.push_back(block[i]);
    for (int i = 0; i < ec; ++i)
        for (const auto& block : ecBlocks) out.push_back(block[i]);
    return out;
}

bool maskBit(int mask, int x, int y) {
    switch (mask) {
        case 0:
            return (x + y) % 2 == 0;
        case 1:
            return y % 2 == 0;
        case 2:
            return x % 3 == 0;
        case 3:
            return (x + y) % 3 == 0;
        case 4:
            return (y / 2 + x / 3) % 2 == 0;
        case 5:
            return x * y % 2 + x * y % 3 == 0;
        case 6:
            return (x * y % 2 + x * y % 3) % 2 == 0;
        default:
            return ((x + y) % 2 + x * y % 3) % 2 == 0;
    }
}

class Matrix {
  public:
    explicit Matrix(int version)
        : version_(version),
          size_(17 + 4 * version),
          dark_(static_cast<size_t>(size_) * size_, 0),
          function_(dark_.size(), 0) {
        drawFunctionPatterns();
    }

    int size() const { return size_; }
    const std::vector<uint8_t>& modules() const { return dark_; }

    // Fills the data modules two columns at a time, upwards and downwards in turn from the
    // right, stepping over the vertical timing pattern. Remainder bits stay light.
    void placeCodewords(const std::vector<uint8_t>& codewords) {
        const size_t bits = codewords.size() * 8;
        size_t i = 0;
        for (int right = size_ - 1; right >= 1; right -= 2) {
            if (right == 6) right = 5;
            const bool upward = ((right + 1) & 2) == 0;
            for (int step = 0; step < size_; ++step) {
                const int y = upward ? size_ - 1 - step : step;
                for (int x = right; x >= right - 1; --x) {
                    if (isFunction(x, y) || i >= bits) continue;
                    set(x, y, (codewords[i / 8] >> (7 - i % 8)) & 1);
                    ++i;
                }
            }
        }
    }

    // Masking twice undoes it.
    void toggleMask(int mask) {
        for (int y = 0; y < size_; ++y)
            for (int x = 0; x < size_; ++x)
                if (!isFunction(x, y) && maskBit(mask, x, y)) at(x, y) ^= 1;
    }

    void drawFormat(int mask) {
        const int data = mask;  // level M has the indicator 00
        int rem = data;
        for (int i = 0; i < 10; ++i) rem = (rem << 1) ^ ((rem >> 9) * 0x537);
        const int bits = ((data << 10) | rem) ^ 0x5412;
        auto bit = [bits](int i) { return ((bits >> i) & 1) != 0; };
        for (int i = 0; i <= 5; ++i) set(8, i, bit(i));
        set(8, 7, bit(6));
        set(8, 8, bit(7));
        set(7, 8, bit(8));
        for (int i = 9; i < 15; ++i) set(14 - i, 8, bit(i));
        for (int i = 0; i < 8; ++i) set(size_ - 1 - i, 8, bit(i));
        for (int i = 8; i < 15; ++i) set(8, size_ - 15 + i, bit(i));
        set(8, size_ - 8, true);
    }

    // The standard's four penalty rules; the mask with the lowest score is used.
    long penalty() const {
        long score = 0;
        for (int line = 0; line < size_; ++line) {
            score += linePenalty([&](int i) { return dark(i, line); });
            score += linePenalty([&](int i) { return dark(line, i); });
        }
        for (int y = 0; y + 1 < size_; ++y)
            for (int x = 0; x + 1 < size_; ++x) {
                bool c = dark(x, y);
                if (c == dark(x + 1, y) && c == dark(x, y + 1) && c == dark(x + 1, y + 1))
                    score += 3;
            }
        long darkCount = std::count(dark_.begin(), dark_.end(), 1);
        long total = static_cast<long>(dark_.size());
        score += 10 * (std::labs(darkCount * 100 - total * 50) / (total * 5));
        return score;
    }

  private:
    uint8_t& at(int x, int y) { return dark_[static_cast<size_t>(y) * size_ + x]; }
    bool dark(int x, int y) const { return dark_[static_cast<size_t>(y) * size_ + x] != 0; }
    bool isFunction(int x, int y) const {
        return function_[static_cast<size_t>(y) * size_ + x] != 0;
    }
    void set(int x, int y, bool isDark) { at(x, y) = isDark ? 1 : 0; }
    void setFunction(int x, int y, bool isDark) {
        set(x, y, isDark);
        function_[static_cast<size_t>(y) * size_ + x] = 1;
    }

    void drawFunctionPatterns() {
        for (int i = 0; i < size_; ++i) {
            setFunction(6, i, i % 2 == 0);
            setFunction(i, 6, i % 2 == 0);
        }
        // Finder patterns with their light separators.
        const int corners[3][2] = {{3, 3}, {size_ - 4, 3}, {3, size_ - 4}};
        for (const auto& c : corners)
            for (int dy = -4; dy <= 4; ++dy)
                for (int dx = -4; dx <= 4; ++dx) {
                    int x = c[0] + dx, y = c[1] + dy;
                    if (x < 0 || y < 0 || x >= size_ || y >= size_) continue;
                    int ring = std::max(std::abs(dx), std::abs(dy));
                    setFunction(x, y, ring != 2 && ring != 4);
                }
        const std::vector<int> centres = alignmentCentres(version_);
        const size_t n = centres.size();
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < n; ++j) {
                // Not over the three finder patterns.
                if ((i == 0 && j == 0) || (i == 0 && j == n - 1) || (i == n - 1 && j == 0))
                    continue;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx)
                        setFunction(centres[i] + dx, centres[j] + dy,
                                    std::max(std::abs(dx), std::abs(dy)) != 1);
            }
        // Reserve the format information areas, which drawFormat fills in. They cross the timing
        // patterns at (6, 8) and (8, 6), which keep their colour.
        auto reserve = [this](int x, int y) { function_[static_cast<size_t>(y) * size_ + x] = 1; };
        for (int i = 0; i < 9; ++i) {
            reserve(8, i);
            reserve(i, 8);
        }
        for (int i = 0; i < 8; ++i) {
            reserve(size_ - 1 - i, 8);
            reserve(8, size_ - 1 - i);
        }
        drawVersion();
    }

    void drawVersion() {
        if (version_ < 7) return;
        int rem = version_;
        for (int i = 0; i < 12; ++i) rem = (rem << 1) ^ ((rem >> 11) * 0x1F25);
        const long bits = static_cast<long>(version_) << 12 | rem;
        for (int i = 0; i < 18; ++i) {
            bool bit = ((bits >> i) & 1) != 0;
            int a = size_ - 11 + i % 3, b = i / 3;
            setFunction(a, b, bit);
            setFunction(b, a, bit);
        }
    }

    // Rules 1 and 3 along one row or column: runs of five or more modules of one colour, and
    // each 1:1:3:1:1 finder-like pattern with four light modules (the quiet zone counts) on
    // either side.
    template <typename Get>
    long linePenalty(Get get) const {
        long score = 0;
        int run = 0;
        bool colour = false;
        for (int i = 0; i < size_; ++i) {
            bool c = get(i);
            if (i > 0 && c == colour) {
                ++run;
            } else {
                if (run >= 5) score += 3 + (run - 5);
                colour = c;
                run = 1;
            }
        }
        if (run >= 5) score += 3 + (run - 5);
        auto darkAt = [&](int i) { return i >= 0 && i < size_ && get(i); };
        auto lightSpan = [&](int from) {
            for (int i = from; i < from + 4; ++i)
                if (darkAt(i)) return false;
            return true;
        };
        static constexpr bool kPattern[7] = {true, false, true, true, true, false, true};
        for (int i = 0; i + 7 <= size_; ++i) {
            bool match = true;
            for (int k = 0; k < 7 && match; ++k) match = darkAt(i + k) == kPattern[k];
            if (match && (lightSpan(i - 4) || lightSpan(i + 7))) score += 40;
        }
        return score;
    }

    int version_;
    int size_;
    std::vector<uint8_t> dark_;
    std::vector<uint8_t> function_;
};

}  // namespace

int qrByteCapacity(int version) {
    if (version < kMinVersion || version > kMaxVersion) return 0;
    return (dataCodewords(version) * 8 - 4 - countBits(version)) / 8;
}

QrSymbol encodeQr(std::string_view text, int maxVersion) {
    QrSymbol symbol;
    maxVersion = std::min(maxVersion, kMaxVersion);
    int version = kMinVersion;
    while (version <= maxVersion && static_cast<size_t>(qrByteCapacity(version)) < text.size())
        ++version;
    if (version > maxVersion) return symbol;

    Matrix matrix(version);
    matrix.placeCodewords(finalCodewords(dataStream(text, version), version));
    int best = 0;
    long bestScore = LONG_MAX;
    for (int mask = 0; mask < 8; ++mask) {
        matrix.toggleMask(mask);
        matrix.drawFormat(mask);
        long score = matrix.penalty();
        if (score < bestScore) {
            bestScore = score;
            best = mask;
        }
        matrix.toggleMask(mask);
    }
    matrix.toggleMask(best);
    matrix.drawFormat(best);
    symbol.version = version;
    symbol.size = matrix.size();
    symbol.mask = best;
    symbol.modules = matrix.modules();
    return symbol;
}

}  // namespace tov
