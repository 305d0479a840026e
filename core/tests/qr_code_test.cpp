// Symbols checked by a decoder nobody here wrote (Debian's zbarimg) and against the standard's
// own tables of format and version information.
#include "core/qr_code.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "tests/support/qr_reader.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

// The symbol as a grey-scale PGM picture, four pixels a module, with its quiet zone.
std::string pgm(const QrSymbol& s) {
    const int scale = 4, side = (s.size + 2 * kQrQuietZone) * scale;
    std::string out = "P5\n" + std::to_string(side) + " " + std::to_string(side) + "\n255\n";
    for (int py = 0; py < side; ++py)
        for (int px = 0; px < side; ++px) {
            int x = px / scale - kQrQuietZone, y = py / scale - kQrQuietZone;
            bool inside = x >= 0 && y >= 0 && x < s.size && y < s.size;
            out += static_cast<char>(inside && s.dark(x, y) ? 0 : 255);
        }
    return out;
}

class QrRead : public ::testing::Test {
  protected:
    // What zbarimg reads from a picture of the symbol for `text`, checking it found one symbol.
    std::string readBack(const std::string& text, int expectVersion = 0) {
        QrSymbol s = encodeQr(text);
        EXPECT_FALSE(s.empty());
        if (s.empty()) return {};
        if (expectVersion) {
            EXPECT_EQ(s.version, expectVersion) << text.size() << " bytes";
        }
        masks.insert(s.mask);
        const std::wstring path = dir.file(L"symbol.pgm");
        EXPECT_TRUE(writeFile(path, pgm(s)));
        test::QrReading r = test::readQrCodes(path);
        EXPECT_TRUE(r.ran) << r.error;
        EXPECT_EQ(r.error, "");
        return r.text;
    }

    test::TempDir dir;
    std::set<int> masks;
};

// UTF-8 text of exactly `bytes` bytes: letters, punctuation and characters of two, three and
// four bytes.
std::string randomText(std::mt19937& rng, size_t bytes) {
    static constexpr std::string_view kPieces[] = {"a", "Z", "7", " ", ";",  ":",  "\\", "~", "é",
                                                   "ß", "Ω", "ж", "€", "中", "ツ", "😀",  "𝄞"};
    std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
    std::string out;
    while (out.size() < bytes) {
        std::string_view piece = kPieces[pick(rng)];
        if (out.size() + piece.size() > bytes) piece = "x";
        out.append(piece.data(), piece.size());
    }
    return out;
}

TEST_F(QrRead, ZbarReadsTextAtEveryVersionBoundary) {
    std::mt19937 rng(20240611);
    for (int version = 1; version <= 40; ++version) {
        const size_t smallest = version == 1 ? 1 : qrByteCapacity(version - 1) + 1;
        const size_t largest = qrByteCapacity(version);
        std::vector<size_t> lengths = {smallest, largest};
        if (version <= 10)
            lengths.push_back(std::uniform_int_distribution<size_t>(smallest, largest)(rng));
        for (size_t length : lengths) {
            std::string text = randomText(rng, length);
            EXPECT_EQ(readBack(text, version), text) << "version " << version;
        }
    }
    // Enough symbols went by for the penalty rules to have picked every mask.
    EXPECT_EQ(masks.size(), 8u);
}

TEST_F(QrRead, ZbarReadsThePairingText) {
    std::mt19937 rng(7);
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < 5; ++i) {
        std::string name, password;
        for (int k = 0; k < 10; ++k) name += alphabet[rng() % alphabet.size()];
        for (int k = 0; k < 12; ++k) password += alphabet[rng() % alphabet.size()];
        std::string text = "WIFI:T:ADB;S:tovenmar-" + name + ";P:" + password + ";;";
        EXPECT_EQ(readBack(text), text);
    }
}

TEST(QrCode, TextTooLongGivesNoSymbol) {
    EXPECT_TRUE(encodeQr(std::string(qrByteCapacity(40) + 1, 'a')).empty());
    EXPECT_EQ(encodeQr(std::string(qrByteCapacity(40), 'a')).version, 40);
    EXPECT_TRUE(encodeQr(std::string(qrByteCapacity(10) + 1, 'a'), 10).empty());
    EXPECT_TRUE(encodeQr("a", 0).empty());
    EXPECT_EQ(qrByteCapacity(0), 0);
    EXPECT_EQ(qrByteCapacity(41), 0);
}

// The timing patterns, both copies of the format information, and both of the version
// information, read off the symbol, against the standard's drawing and tables (annexes C and D).
// zbarimg reads a symbol with a few wrong modules here without a word.
TEST(QrCode, FixedPatternsMatchTheStandard) {
    // Level M, masks 0 to 7.
    const int kFormat[8] = {0x5412, 0x5125, 0x5E7C, 0x5B4B, 0x45F9, 0x40CE, 0x4F97, 0x4AA0};
    const int kVersion[5] = {0x07C94, 0x085BC, 0x09A99, 0x0A4D3, 0x0BBF6};
    for (int version = 1; version <= 11; ++version) {
        QrSymbol s = encodeQr(std::string(qrByteCapacity(version), 'q'));
        ASSERT_EQ(s.version, version);
        const int n = s.size;
        for (int i = 8; i < n - 8; ++i) {
            EXPECT_EQ(s.dark(i, 6), i % 2 == 0) << version << " row 6 at " << i;
            EXPECT_EQ(s.dark(6, i), i % 2 == 0) << version << " column 6 at " << i;
        }
        int first = 0, second = 0;  // most significant bit first
        for (int x = 0; x <= 5; ++x) first = first << 1 | s.dark(x, 8);
        first = first << 1 | s.dark(7, 8);
        first = first << 1 | s.dark(8, 8);
        first = first << 1 | s.dark(8, 7);
        for (int y = 5; y >= 0; --y) first = first << 1 | s.dark(8, y);
        for (int y = n - 1; y >= n - 7; --y) second = second << 1 | s.dark(8, y);
        for (int x = n - 8; x < n; ++x) second = second << 1 | s.dark(x, 8);
        EXPECT_EQ(first, kFormat[s.mask]) << version;
        EXPECT_EQ(second, kFormat[s.mask]) << version;
        EXPECT_TRUE(s.dark(8, n - 8));  // the dark module
        if (version < 7) continue;
        int topRight = 0, bottomLeft = 0;
        for (int i = 17; i >= 0; --i) {
            topRight = topRight << 1 | s.dark(n - 11 + i % 3, i / 3);
            bottomLeft = bottomLeft << 1 | s.dark(i / 3, n - 11 + i % 3);
        }
        EXPECT_EQ(topRight, kVersion[version - 7]) << version;
        EXPECT_EQ(bottomLeft, kVersion[version - 7]) << version;
    }
}

}  // namespace
}  // namespace tov
