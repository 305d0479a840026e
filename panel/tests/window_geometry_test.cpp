#include "panel/window_geometry.h"

#include <gtest/gtest.h>

namespace tov::panel {
namespace {

IntRect frameAround(int clientWidth, int clientHeight) {
    // A typical frame: 8 pixels at the sides and bottom, a 31-pixel caption.
    return {-8, -31, clientWidth + 8, clientHeight + 8};
}

TEST(WindowGeometry, ClientSizeScalesWithTheDpiTruncated) {
    EXPECT_EQ(scaleToDpi(kInitialClientWidth, 96), 1060);
    EXPECT_EQ(scaleToDpi(kInitialClientWidth, 144), 1590);
    EXPECT_EQ(scaleToDpi(kInitialClientHeight, 144), 1140);
    EXPECT_EQ(scaleToDpi(kInitialClientWidth, 120), 1325);
    EXPECT_EQ(scaleToDpi(kMinClientHeight, 120), 850);
    EXPECT_EQ(scaleToDpi(1061, 120), 1326);  // 1326.25 truncated
}

TEST(WindowGeometry, CentredInABigEnoughWorkArea) {
    IntRect work{0, 0, 2560, 1400};
    IntRect r = centredInWorkArea(frameAround(1590, 1140), work);
    EXPECT_EQ(r.width(), 1606);
    EXPECT_EQ(r.height(), 1179);
    EXPECT_EQ(r.left, (2560 - 1606) / 2);
    EXPECT_EQ(r.top, (1400 - 1179) / 2);
}

TEST(WindowGeometry, ClippedToASmallerWorkAreaOnASecondMonitor) {
    IntRect work{1920, 0, 3840, 1040};  // the taskbar takes the bottom 40 pixels
    IntRect r = centredInWorkArea(frameAround(1590, 1140), work);
    EXPECT_EQ(r.height(), 1040);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.width(), 1606);
    EXPECT_EQ(r.left, 1920 + (1920 - 1606) / 2);
}

}  // namespace
}  // namespace tov::panel
