#include "video/tests/annexb_units.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"

namespace tov {
namespace {

// The decoder tests rely on this split: one unit per picture, key frames every 30.
TEST(AnnexBUnits, PhoneClipSplitsIntoOnePacketPerPicture) {
    std::string clip;
    ASSERT_TRUE(readFile(test::sourceFile("tests/media/phone_h264_320x640.h264"), clip));
    const test::SplitStream full = test::splitH264(clip, false);
    ASSERT_EQ(full.units.size(), 90u);
    for (size_t i = 0; i < full.units.size(); ++i) EXPECT_EQ(full.units[i].key, i % 30 == 0) << i;
    // SPS then PPS, each behind a start code.
    ASSERT_GT(full.csd.size(), 8u);
    EXPECT_EQ(full.csd[4] & 0x1F, 7);

    const test::SplitStream bare = test::splitH264(clip, true);
    ASSERT_EQ(bare.units.size(), 90u);
    EXPECT_EQ(bare.csd, full.csd);
    // Stripping removes exactly the parameter sets in front of each of the three key frames
    // (plus nothing else).
    size_t fullBytes = 0;
    size_t bareBytes = 0;
    for (size_t i = 0; i < 90; ++i) {
        fullBytes += full.units[i].bytes.size();
        bareBytes += bare.units[i].bytes.size();
    }
    EXPECT_EQ(fullBytes, clip.size());
    EXPECT_EQ(fullBytes - bareBytes, 3 * full.csd.size());
}

}  // namespace
}  // namespace tov
