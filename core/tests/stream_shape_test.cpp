#include "core/stream_shape.h"

#include <gtest/gtest.h>

namespace tov {
namespace {

TEST(TypedRatioTest, ParsesNumbersAndPairsWithinRange) {
    struct Case {
        const char* text;
        double ratio;
    };
    const Case cases[] = {
        {"2.35", 2.35},
        {"16:9", 16.0 / 9.0},
        {"9:16", 16.0 / 9.0},  // inverted
        {"9/16", 16.0 / 9.0},
        {"4/3", 4.0 / 3.0},
        {"0.5", 2.0},  // below 1 is inverted
        {"10", 10.0},
        {"0.2", 5.0},
        {"1", 1.0},
        {"1:0", 0},  // second number not positive
        {"1:-2", 0},
        {"16:", 0},
        {"11", 0},     // beyond 10
        {"0.1", 0},    // below 0.2
        {"16:9x", 0},  // not used up
        {"16:9:1", 0},
        {"", 0},
        {"abc", 0},
        {"nan", 0},
        {"inf", 0},
        {"1e1", 10.0},
        {"-2", 0},
    };
    for (const Case& c : cases) EXPECT_NEAR(parseTypedRatio(c.text), c.ratio, 1e-9) << c.text;
    EXPECT_EQ(parseTypedRatio(std::string("2\0"
                                          "5",
                                          3)),
              0)
        << "embedded NUL";
}

TEST(ShapeTest, RatiosAndNamesOfEveryShape) {
    PanelModel m;
    m.customWidth = 1280;
    m.customHeight = 720;
    struct Case {
        int32_t aspect;
        const char* ratioText;
        double ratio;
        const char* name;
    };
    const Case cases[] = {
        {kShapeCustomSize, "", 1280.0 / 720.0, "1.78:1"},
        {kShapePhone, "", 0, ""},
        {kShape16x9, "", 16.0 / 9.0, "16:9"},
        {kShape4x3, "", 4.0 / 3.0, "4:3"},
        {kShape21x9, "", 21.0 / 9.0, "21:9"},
        {kShapeTyped, "2.35", 2.35, "2.35"},
        {kShapeTyped, "9:16", 16.0 / 9.0, "9:16"},
        {kShapeTyped, "junk", 0, "junk"},
    };
    for (const Case& c : cases) {
        m.aspect = c.aspect;
        m.ratio = c.ratioText;
        EXPECT_NEAR(shapeRatio(m), c.ratio, 1e-9) << c.aspect << " " << c.ratioText;
        EXPECT_EQ(shapeName(m), c.name) << c.aspect << " " << c.ratioText;
    }

    // A custom size needs both sides.
    m.aspect = kShapeCustomSize;
    m.customHeight = 0;
    EXPECT_EQ(shapeRatio(m), 0);
    EXPECT_EQ(shapeName(m), "");
    m.customWidth = 720;
    m.customHeight = 1280;  // portrait counts the same
    EXPECT_NEAR(shapeRatio(m), 1280.0 / 720.0, 1e-9);
}

TEST(MapToScreenTest, BarsCropAndStretch) {
    const ScreenSize screen{2400, 1080};
    // Bars: a 2400x1080 screen in a 1920x1080 frame fills 1920x864 in the middle.
    float x = 0.5f, y = 0.5f;
    mapFrameToScreen(kFitBars, 1920, 1080, screen, x, y);
    EXPECT_FLOAT_EQ(x, 0.5f);
    EXPECT_FLOAT_EQ(y, 0.5f);
    x = 0.5f, y = 0.05f;  // in the top bar
    mapFrameToScreen(kFitBars, 1920, 1080, screen, x, y);
    EXPECT_FLOAT_EQ(x, 0.5f);
    EXPECT_FLOAT_EQ(y, 0.0f);
    x = 0.25f, y = 0.5f + 0.25f * 864.0f / 1080.0f;  // three quarters down the picture
    mapFrameToScreen(kFitBars, 1920, 1080, screen, x, y);
    EXPECT_NEAR(x, 0.25f, 1e-5);
    EXPECT_NEAR(y, 0.75f, 1e-5);

    // Crop: the screen is scaled to fill the frame's height, so its sides are cut.
    x = 0.0f, y = 0.0f;
    mapFrameToScreen(kFitCrop, 1920, 1080, screen, x, y);
    EXPECT_NEAR(x, (2400.0 - 1920.0) / 2 / 2400.0, 1e-5);
    EXPECT_FLOAT_EQ(y, 0.0f);
    x = 1.0f, y = 1.0f;
    mapFrameToScreen(kFitCrop, 1920, 1080, screen, x, y);
    EXPECT_NEAR(x, 1.0 - (2400.0 - 1920.0) / 2 / 2400.0, 1e-5);
    EXPECT_FLOAT_EQ(y, 1.0f);

    // Stretch and unknown sizes leave the point alone.
    const struct {
        int32_t fit, w, h;
        ScreenSize screen;
    } untouched[] = {{kFitStretch, 1920, 1080, screen},
                     {kFitBars, 0, 1080, screen},
                     {kFitBars, 1920, -1, screen},
                     {kFitCrop, 1920, 1080, {0, 1080}},
                     {kFitBars, 1920, 1080, {2400, 0}}};
    for (const auto& c : untouched) {
        x = 0.3f, y = 0.05f;
        mapFrameToScreen(c.fit, c.w, c.h, c.screen, x, y);
        EXPECT_FLOAT_EQ(x, 0.3f);
        EXPECT_FLOAT_EQ(y, 0.05f);
    }
}

}  // namespace
}  // namespace tov
