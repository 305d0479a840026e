#include "audio/sample_volume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tov {
namespace {

std::vector<int16_t> scaled(std::vector<int16_t> in, float volume) {
    std::vector<int16_t> out(in.size(), 0x5555);
    copyWithVolume(in.data(), out.data(), in.size(), volume);
    return out;
}

TEST(SampleVolume, RoundsToNearestWithHalvesAwayFromZero) {
    EXPECT_EQ(scaled({3, -3, 1, -1, 5, -5, 4, 0}, 0.5f),
              (std::vector<int16_t>{2, -2, 1, -1, 3, -3, 2, 0}));
    EXPECT_EQ(scaled({6, 2, -2, 32767, -32768}, 0.25f),
              (std::vector<int16_t>{2, 1, -1, 8192, -8192}));
}

TEST(SampleVolume, UnityCopiesTheSamplesUnchanged) {
    const std::vector<int16_t> in = {32767, -32768, 1, -1, 12345};
    EXPECT_EQ(scaled(in, 1.0f), in);
    EXPECT_EQ(scaled(in, 0.9995f), in);
    EXPECT_EQ(scaled(in, 0.999f), in);
    // Just below the plain-copy band the rule applies: 12345 x 0.998 = 12320.31.
    EXPECT_EQ(scaled({12345}, 0.998f), std::vector<int16_t>{12320});
}

TEST(SampleVolume, GainsAboveOneAmplifyAndClipAtTheSampleRange) {
    EXPECT_EQ(scaled({1000, -1000, 3}, 2.0f), (std::vector<int16_t>{2000, -2000, 6}));
    EXPECT_EQ(scaled({20000, -20000, 32767, -32768}, 4.0f),
              (std::vector<int16_t>{32767, -32768, 32767, -32768}));
}

TEST(SampleVolume, UnusableVolumesGiveSilence) {
    const std::vector<int16_t> in = {100, -100, 32767};
    const std::vector<int16_t> silence(3, 0);
    EXPECT_EQ(scaled(in, 0.0f), silence);
    EXPECT_EQ(scaled(in, -0.5f), silence);
    EXPECT_EQ(scaled(in, std::numeric_limits<float>::quiet_NaN()), silence);
    EXPECT_EQ(scaled(in, std::numeric_limits<float>::infinity()), silence);
}

}  // namespace
}  // namespace tov
