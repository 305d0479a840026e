#include "core/annex_b.h"

#include <gtest/gtest.h>

#include "core/bit_reader.h"

namespace tov {
namespace {

using namespace std::string_literals;

TEST(AnnexB, StartCodesOfThreeAndFourBytesTrailingZerosAndEmptyUnits) {
    // Bytes before the first start code, a four-byte code, trailing zeros, an empty unit.
    const std::string stream = "\x09\0\0\0\1\x67\x11\0\0\1\x68\x22\0\0\0\0\1\0\0\1\x65\x33\x44"s;
    const std::vector<std::string_view> nals = splitAnnexB(stream);
    ASSERT_EQ(nals.size(), 3u);
    EXPECT_EQ(nals[0], "\x67\x11"s);
    EXPECT_EQ(nals[1], "\x68\x22"s);
    EXPECT_EQ(nals[2], "\x65\x33\x44"s);  // the last unit runs to the end
    EXPECT_TRUE(splitAnnexB("\x67\x11\0\0"s).empty());

    EXPECT_EQ(nalType(false, "\x65"s), 5);
    EXPECT_EQ(nalType(true, "\x42\x01"s), 33);
    EXPECT_EQ(nalType(true, ""), -1);
}

TEST(AnnexB, PayloadDropsTheHeaderAndEachThreeAfterTwoZeros) {
    // The count of zeros starts again after a removed 3: the second 3 of "00 00 03 03" stays.
    EXPECT_EQ(nalPayload(false, "\x67\0\0\3\3\0\3\0\0\3\1"s), "\0\0\3\0\3\0\0\1"s);
    EXPECT_EQ(nalPayload(true, "\x42\x01\0\0\3\0"s), "\0\0\0"s);
    EXPECT_EQ(nalPayload(true, "\x42\x01"s), "");
}

TEST(BitReader, FieldsExpGolombNumbersAndReadingPastTheEnd) {
    // 101 | 1 (ue 0) | 010 (ue 1) | 011 (se -1) | 00100 (se +2) | 1, then eight ones.
    BitReader r("\xb4\xc9\xff"s);
    EXPECT_EQ(r.bits(3), 5u);
    EXPECT_EQ(r.ue(), 0u);
    EXPECT_EQ(r.ue(), 1u);
    EXPECT_EQ(r.se(), -1);
    EXPECT_EQ(r.se(), 2);
    EXPECT_TRUE(r.flag());
    EXPECT_FALSE(r.failed());
    EXPECT_EQ(r.bits(16), 0xff00u);  // past the end it reads zeros
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.ue(), 0u);

    BitReader big("\x12"s);  // ue 8: above a limit of 7
    EXPECT_EQ(big.count(7), 0u);
    EXPECT_TRUE(big.failed());
    // More leading zeros than any 32-bit number has, then ones to read on.
    BitReader zeros(std::string(5, '\0') + std::string(6, '\xff'));
    EXPECT_EQ(zeros.ue(), 0u);
    EXPECT_TRUE(zeros.failed());
}

}  // namespace
}  // namespace tov
