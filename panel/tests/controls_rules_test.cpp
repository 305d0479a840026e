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

#include "panel/dropdown_list.h"

namespace tov::panel {
namespace {

TEST(ListPlacement, BelowAboveOrClampedIntoTheWindow) {
    RectF window{0, 0, 1000, 700};
    // Fits below its control.
    ListPlacement p = placeList({600, 100, 850, 134}, 3, 200, window);
    EXPECT_FLOAT_EQ(p.card.top, 138);
    EXPECT_FLOAT_EQ(p.card.height(), 3 * 44 + 8);
    EXPECT_FLOAT_EQ(p.maxScroll, 0);
    // Near the bottom: opens above.
    EXPECT_FLOAT_EQ(p.card.width(), 250);  // never narrower than its control
    p = placeList({600, 600, 850, 634}, 5, 300, window);
    EXPECT_FLOAT_EQ(p.card.bottom, 596);
    EXPECT_FLOAT_EQ(p.card.width(), 300);
    EXPECT_FLOAT_EQ(p.card.right, 850);
    // A narrow control near the left edge: the wider list stays inside the window.
    p = placeList({10, 100, 100, 134}, 2, 250, window);
    EXPECT_FLOAT_EQ(p.card.left, 8);
    EXPECT_FLOAT_EQ(p.card.right, 258);
    // Too tall for either side: inside the window, scrolling the rest.
    p = placeList({600, 300, 850, 334}, 20, 250, window);
    EXPECT_GE(p.card.top, 8);
    EXPECT_LE(p.card.bottom, 692);
    EXPECT_FLOAT_EQ(p.maxScroll, 20 * 44 + 8 - p.card.height());
}

}  // namespace
}  // namespace tov::panel
