#include "video/fit_math.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

TEST(ShapeClientSize, PhoneShapesOnAFullHdWorkArea) {
    const Size work{1920, 1040};
    // Portrait: 82% of the height, width from the aspect.
    EXPECT_EQ(shapeClientSize({1080, 2400}, work), (Size{383, 852}));
    // Landscape: 62% of the width, height from the aspect.
    EXPECT_EQ(shapeClientSize({2400, 1080}, work), (Size{1190, 535}));
}

TEST(ShapeClientSize, LandscapeTooTallIsLimitedByTheHeight) {
    // A square stream would be 1190 high at 62% of the width; 80% of 1040 is the limit.
    EXPECT_EQ(shapeClientSize({1000, 1000}, {1920, 1040}), (Size{832, 832}));
    // 4:3 on a narrow, low work area.
    EXPECT_EQ(shapeClientSize({1600, 1200}, {1600, 700}), (Size{746, 560}));
}

TEST(ShapeClientSize, NothingForUnusableSizes) {
    EXPECT_EQ(shapeClientSize({0, 2400}, {1920, 1040}), (Size{}));
    EXPECT_EQ(shapeClientSize({1080, -1}, {1920, 1040}), (Size{}));
    EXPECT_EQ(shapeClientSize({1080, 2400}, {0, 0}), (Size{}));
}

TEST(FitWithBars, PortraitPictureInAWideWindowGetsSideBars) {
    EXPECT_EQ(fitWithBars({320, 640}, {800, 600}), (Rect{250, 0, 550, 600}));
    // Odd leftovers: the extra pixel goes to the right (or bottom) bar.
    EXPECT_EQ(fitWithBars({1080, 2400}, {1281, 720}), (Rect{478, 0, 802, 720}));
}

TEST(FitWithBars, LandscapePictureInATallWindowGetsTopAndBottomBars) {
    EXPECT_EQ(fitWithBars({1920, 1080}, {640, 640}), (Rect{0, 140, 640, 500}));
}

TEST(FitWithBars, SameShapeFillsTheWindow) {
    EXPECT_EQ(fitWithBars({720, 1280}, {360, 640}), (Rect{0, 0, 360, 640}));
}

TEST(FitWithBars, EmptyWithoutAStreamOrABackBuffer) {
    EXPECT_EQ(fitWithBars({0, 0}, {800, 600}), (Rect{}));
    EXPECT_EQ(fitWithBars({320, 640}, {0, 0}), (Rect{}));
}

TEST(PictureSource, CutsOffTheDecodersAlignment) {
    // A 1080-line stream decodes into 1088 lines; the 8 extra lines must not be shown.
    EXPECT_EQ(pictureSource({1920, 1088}, {1920, 1080}), (Rect{0, 0, 1920, 1080}));
    // A texture smaller than the announced stream (before the stream change lands).
    EXPECT_EQ(pictureSource({640, 360}, {1280, 720}), (Rect{0, 0, 640, 360}));
}

TEST(ReshapeTracker, FirstConfigAndOrientationChangesOnly) {
    ReshapeTracker t;
    EXPECT_TRUE(t.onConfig(1080, 2400));   // first config, even though it is portrait
    EXPECT_FALSE(t.onConfig(1080, 2400));  // same orientation again
    EXPECT_FALSE(t.onConfig(720, 1600));   // another portrait size
    EXPECT_TRUE(t.onConfig(2400, 1080));   // turned landscape
    EXPECT_FALSE(t.onConfig(1600, 720));
    EXPECT_TRUE(t.onConfig(1080, 2400));  // back to portrait
    ReshapeTracker square;
    EXPECT_TRUE(square.onConfig(1000, 1000));
    EXPECT_FALSE(square.onConfig(1920, 1080));  // a square counts as landscape
}

TEST(ExpectedSizeReshape, OnlyBeforeAStreamAndOnFirstSizeOrTurn) {
    EXPECT_TRUE(expectedSizeReshapeDue({0, 0}, {1080, 2400}, false));
    EXPECT_FALSE(expectedSizeReshapeDue({0, 0}, {1080, 2400}, true));  // stream size known
    EXPECT_FALSE(expectedSizeReshapeDue({0, 0}, {0, 2400}, false));
    EXPECT_FALSE(expectedSizeReshapeDue({1080, 2400}, {1080, 2400}, false));
    EXPECT_FALSE(expectedSizeReshapeDue({1080, 2400}, {720, 1600}, false));
    EXPECT_TRUE(expectedSizeReshapeDue({1080, 2400}, {2400, 1080}, false));
}

}  // namespace
}  // namespace tov
