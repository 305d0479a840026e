// The value rules of sliders and text fields.
#include <gtest/gtest.h>

#include "panel/slider_math.h"
#include "panel/text_field.h"

namespace tov::panel {
namespace {

TEST(SliderMath, BitrateRunsFromEightToThePhonesHighestButAtLeastNine) {
    EXPECT_EQ(bitrateFromFraction(0, 60000000), 8);
    EXPECT_EQ(bitrateFromFraction(1, 60000000), 60);
    EXPECT_EQ(bitrateFromFraction(0.5f, 60000000), 34);
    // A phone that allows less than 9 Mbps still gets a slider from 8 to 9.
    EXPECT_EQ(bitrateFromFraction(1, 4000000), 9);
    EXPECT_EQ(bitrateFromFraction(0.49f, 4000000), 8);
    EXPECT_FLOAT_EQ(fractionFromBitrate(34000000, 60000000), 0.5f);
    EXPECT_FLOAT_EQ(fractionFromBitrate(400000000, 60000000), 1.0f);
    EXPECT_FLOAT_EQ(fractionFromBitrate(1000000, 60000000), 0.0f);
}

TEST(SliderMath, TrackFractionIsClamped) {
    EXPECT_FLOAT_EQ(trackFraction(50, 100, 300), 0);
    EXPECT_FLOAT_EQ(trackFraction(200, 100, 300), 0.5f);
    EXPECT_FLOAT_EQ(trackFraction(500, 100, 300), 1);
    EXPECT_FLOAT_EQ(trackFraction(200, 100, 100), 0);  // an empty track
}

TEST(SliderMath, VolumeSnapsToOneAndOtherwiseToSteps) {
    EXPECT_FLOAT_EQ(volumeFromFraction(0), 0.25f);
    EXPECT_FLOAT_EQ(volumeFromFraction(1), 4.0f);
    EXPECT_FLOAT_EQ(volumeFromFraction(0.5f), 1.0f);
    // Near the middle: 0.25 x 16^0.52 = 1.0595 is within 0.06 of 1.
    EXPECT_FLOAT_EQ(volumeFromFraction(0.52f), 1.0f);
    EXPECT_FLOAT_EQ(volumeFromFraction(0.48f), 1.0f);
    // 0.25 x 16^0.6 = 1.3195 rounds to 1.30.
    EXPECT_NEAR(volumeFromFraction(0.6f), 1.30f, 1e-5);
    EXPECT_NEAR(fractionFromVolume(1.0f), 0.5f, 1e-6);
    EXPECT_FLOAT_EQ(fractionFromVolume(0), 0);
}

TEST(TextField, CharactersAcceptedPerKind) {
    for (wchar_t c = L'0'; c <= L'9'; ++c) EXPECT_TRUE(fieldAccepts(FieldKind::Whole, c));
    EXPECT_FALSE(fieldAccepts(FieldKind::Whole, L'a'));
    EXPECT_FALSE(fieldAccepts(FieldKind::Whole, L'.'));
    EXPECT_FALSE(fieldAccepts(FieldKind::Whole, L'-'));
    EXPECT_TRUE(fieldAccepts(FieldKind::Decimal, L'.'));
    EXPECT_FALSE(fieldAccepts(FieldKind::Decimal, L':'));
    EXPECT_TRUE(fieldAccepts(FieldKind::Ratio, L':'));
    EXPECT_TRUE(fieldAccepts(FieldKind::Ratio, L'/'));
    EXPECT_TRUE(fieldAccepts(FieldKind::Ratio, L'.'));
    EXPECT_FALSE(fieldAccepts(FieldKind::Ratio, L'x'));
}

TEST(TextField, FortyCharactersAtMostAndKeystrokesClearTheMark) {
    FieldEdit e;
    e.hit = 1;
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(e.type(L'7'));
    EXPECT_FALSE(e.type(L'7'));
    EXPECT_EQ(e.text.size(), 40u);
    e.invalid = true;
    EXPECT_FALSE(e.type(L'q'));
    EXPECT_FALSE(e.invalid);
    e.invalid = true;
    EXPECT_TRUE(e.backspace());
    EXPECT_FALSE(e.invalid);
    EXPECT_EQ(e.text.size(), 39u);
    e.text.clear();
    EXPECT_FALSE(e.backspace());
}

TEST(TextField, CaretBlinksEveryHalfSecond) {
    EXPECT_TRUE(caretVisible(1000, 1000));
    EXPECT_TRUE(caretVisible(1000, 1499));
    EXPECT_FALSE(caretVisible(1000, 1500));
    EXPECT_FALSE(caretVisible(1000, 1999));
    EXPECT_TRUE(caretVisible(1000, 2000));
}

}  // namespace
}  // namespace tov::panel
