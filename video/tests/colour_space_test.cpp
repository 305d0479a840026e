#include "video/colour_space.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "video/sps_colour.h"
#include "video/tests/annexb_units.h"

namespace tov {
namespace {

constexpr int32_t kH264 = 0;
constexpr int32_t kHevc = 1;

StreamColour clipColour(int32_t codec, const char* name) {
    std::string clip;
    EXPECT_TRUE(readFile(test::sourceFile((std::string("tests/media/") + name).c_str()), clip))
        << name;
    return colourFromParameterSets(codec, reinterpret_cast<const uint8_t*>(clip.data()),
                                   clip.size());
}

void expectColour(const StreamColour& c, ColourMatrix matrix, bool fullRange) {
    ASSERT_TRUE(c.matrix);
    EXPECT_EQ(*c.matrix, matrix);
    ASSERT_TRUE(c.fullRange);
    EXPECT_EQ(*c.fullRange, fullRange);
}

TEST(SpsColour, ReadsTheMatrixAndRangeEachClipIsTaggedWith) {
    expectColour(clipColour(kH264, "colour_bt601_limited.h264"), ColourMatrix::Bt601, false);
    expectColour(clipColour(kH264, "colour_bt601_full.h264"), ColourMatrix::Bt601, true);
    expectColour(clipColour(kH264, "colour_bt709_limited.h264"), ColourMatrix::Bt709, false);
    expectColour(clipColour(kH264, "colour_bt709_full.h264"), ColourMatrix::Bt709, true);
    expectColour(clipColour(kHevc, "colour_bt709_full.h265"), ColourMatrix::Bt709, true);
    // Without tags the stream tells no matrix.
    EXPECT_FALSE(clipColour(kH264, "colour_untagged.h264").matrix);
    EXPECT_FALSE(clipColour(kH264, "phone_h264_320x640.h264").matrix);
    EXPECT_FALSE(clipColour(kHevc, "phone_hevc_320x640.h265").matrix);
}

TEST(SpsColour, ShortDamagedOrMissingParameterSetsTellNothing) {
    std::string clip;
    ASSERT_TRUE(readFile(test::sourceFile("tests/media/colour_bt709_full.h265"), clip));
    // The parameter sets in front of the first picture (VPS, SPS, PPS).
    const std::string sets = clip.substr(0, 120);
    const auto* data = reinterpret_cast<const uint8_t*>(sets.data());
    expectColour(colourFromParameterSets(kHevc, data, sets.size()), ColourMatrix::Bt709, true);
    // Cut anywhere, it reads what is there or tells nothing; it never reads past the end.
    int cutsTellingNothing = 0;
    for (size_t n = 0; n < sets.size(); ++n) {
        const StreamColour c = colourFromParameterSets(kHevc, data, n);
        if (!c.matrix) {
            ++cutsTellingNothing;
        } else {
            EXPECT_EQ(*c.matrix, ColourMatrix::Bt709);
        }
    }
    EXPECT_GT(cutsTellingNothing, 40);
    const uint8_t garbage[] = {0, 0, 1, 0x67, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    EXPECT_FALSE(colourFromParameterSets(kH264, garbage, sizeof garbage).matrix);
    const uint8_t ppsOnly[] = {0, 0, 0, 1, 0x68, 0xce, 0x38, 0x80};
    EXPECT_FALSE(colourFromParameterSets(kH264, ppsOnly, sizeof ppsOnly).fullRange);
    EXPECT_FALSE(colourFromParameterSets(kH264, nullptr, 0).matrix);
}

TEST(ColourChoice, TheStreamThenTheDecoderThenThePictureSize) {
    const StreamColour none;
    const StreamColour bt709Full{ColourMatrix::Bt709, true};
    const StreamColour bt601{ColourMatrix::Bt601, std::nullopt};
    EXPECT_EQ(chooseColourSpace(bt709Full, bt601, 640).space,
              (ColourSpace{ColourMatrix::Bt709, true}));
    EXPECT_EQ(chooseColourSpace(none, bt709Full, 640).space,
              (ColourSpace{ColourMatrix::Bt709, true}));
    // Each part on its own: the matrix from the decoder, the range from the stream.
    EXPECT_EQ(chooseColourSpace({std::nullopt, true}, bt601, 2400).space,
              (ColourSpace{ColourMatrix::Bt601, true}));
    EXPECT_EQ(chooseColourSpace(none, none, 719).space, (ColourSpace{ColourMatrix::Bt601, false}));
    EXPECT_EQ(chooseColourSpace(none, none, 720).space, (ColourSpace{ColourMatrix::Bt709, false}));
    EXPECT_STREQ(chooseColourSpace(none, none, 720).matrixFrom, "picture size");
}

// RGB of 8-bit samples through a conversion.
struct Rgb {
    double r, g, b;
};
Rgb apply(const YuvToRgb& m, int y, int cb, int cr) {
    const double in[4] = {y / 255.0, cb / 255.0, cr / 255.0, 1.0};
    double out[3] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) out[i] += m.rows[i][j] * in[j];
    }
    return {out[0] * 255, out[1] * 255, out[2] * 255};
}

TEST(YuvToRgb, EachMatrixAndRangeGivesTheStandardsColours) {
    // BT.709 limited: the published coefficients.
    const YuvToRgb bt709 = yuvToRgb({ColourMatrix::Bt709, false});
    EXPECT_NEAR(bt709.rows[0][0], 1.164384, 1e-5);
    EXPECT_NEAR(bt709.rows[0][2], 1.792741, 1e-5);
    EXPECT_NEAR(bt709.rows[1][1], -0.213249, 1e-5);
    EXPECT_NEAR(bt709.rows[1][2], -0.532909, 1e-5);
    EXPECT_NEAR(bt709.rows[2][1], 2.112402, 1e-5);
    // Black and white at each range's ends; BT.601's red as BT.601 codes it.
    const Rgb white = apply(yuvToRgb({ColourMatrix::Bt601, true}), 255, 128, 128);
    EXPECT_NEAR(white.g, 255.0, 0.6);
    const Rgb black = apply(yuvToRgb({ColourMatrix::Bt2020, false}), 16, 128, 128);
    EXPECT_NEAR(black.b, 0.0, 0.6);
    const Rgb red = apply(yuvToRgb({ColourMatrix::Bt601, false}), 81, 90, 240);
    EXPECT_NEAR(red.r, 255.0, 2.0);
    EXPECT_NEAR(red.g, 0.0, 2.0);
    EXPECT_NEAR(red.b, 0.0, 2.0);
}

// A decoder that hands BT.601 pictures: BT.601 streams pass as coded; others come converted
// and are shown as the stream meant, also where it assumed another matrix than players do.
TEST(Bt601Decoder, PicturesAreShownAsTheStreamMeantThem) {
    const ColourSpace bt601Full{ColourMatrix::Bt601, true};
    PictureColour p = pictureColourAfterBt601Decoder({ColourMatrix::Bt601, true}, 640, bt601Full);
    EXPECT_EQ(p.samples, bt601Full);
    p = pictureColourAfterBt601Decoder({ColourMatrix::Bt709, true}, 640,
                                       {ColourMatrix::Bt709, true});
    EXPECT_EQ(p.samples, (ColourSpace{ColourMatrix::Bt601, false}));
    // BT.709 red coded as BT.601 (limited) is still red.
    Rgb red = apply(p.toRgb, 81, 90, 240);
    EXPECT_NEAR(red.r, 255.0, 2.0);
    EXPECT_NEAR(red.g, 0.0, 2.0);
    // Untagged at 640 lines: the decoder takes it for BT.709, players for BT.601. BT.601 red
    // (81, 90, 240) read as BT.709 and coded as BT.601 is (98, 78, 240); shown, it is red again.
    p = pictureColourAfterBt601Decoder({}, 640, {ColourMatrix::Bt601, false});
    red = apply(p.toRgb, 98, 78, 240);
    EXPECT_NEAR(red.r, 255.0, 3.0);
    EXPECT_NEAR(red.g, 0.0, 3.0);
    EXPECT_NEAR(red.b, 0.0, 3.0);
}

}  // namespace
}  // namespace tov
