// The configuration check on the simulator's real clip: what passes, and each way it fails.
#include <gtest/gtest.h>

#include "core/annex_b.h"
#include "platform/files.h"
#include "platform/text.h"
#include "video/tests/annexb_units.h"
#include "tools/phonecheck/parameter_sets.h"

namespace tov::phonecheck {
namespace {

// The clip's parameter sets as a phone sends them: each NAL unit after a start code.
std::string parameterSets(const std::string& clip, bool hevc, bool withPps) {
    std::string out;
    for (std::string_view nal : splitAnnexB(clip)) {
        const int type = nalType(hevc, nal);
        const bool pps = type == (hevc ? 34 : 8);
        const bool set = hevc ? (type >= 32 && type <= 34) : (type == 7 || type == 8);
        if (set && (withPps || !pps)) out += std::string("\0\0\0\1", 4) + std::string(nal);
    }
    return out;
}

std::string readClip(const char* relative) {
    std::string bytes;
    EXPECT_TRUE(readFile(test::sourceFile(relative), bytes)) << relative;
    return bytes;
}

// docs/phone-app.md §Video configuration
TEST(ParameterSets, AWholeConfigurationOfEitherCodecPassesAndAMissingOrWrongOneIsNamed) {
    const std::string h264 = readClip("tests/media/phone_h264_320x640.h264");
    const std::string hevc = readClip("tests/media/phone_hevc_320x640.h265");
    EXPECT_EQ(checkParameterSets({320, 640, 30, 0, parameterSets(h264, false, true)}), "");
    EXPECT_EQ(checkParameterSets({320, 640, 30, 1, parameterSets(hevc, true, true)}), "");

    EXPECT_NE(checkParameterSets({320, 640, 30, 0, parameterSets(h264, false, false)}).find("lack PPS"),
              std::string::npos);
    EXPECT_NE(checkParameterSets({320, 640, 30, 1, parameterSets(hevc, true, false)}).find("lack PPS"),
              std::string::npos);
    // HEVC parameter sets announced as H.264: no H.264 sets in them.
    EXPECT_NE(checkParameterSets({320, 640, 30, 0, parameterSets(hevc, true, true)}).find("lack SPS, PPS"),
              std::string::npos);
    const std::string wrongSize = checkParameterSets({640, 320, 30, 0, parameterSets(h264, false, true)});
    EXPECT_NE(wrongSize.find("describes 320x640, the packet announces 640x320"), std::string::npos)
        << wrongSize;
    EXPECT_NE(checkParameterSets({320, 640, 30, 7, parameterSets(h264, false, true)}).find("codec number 7"),
              std::string::npos);
}

TEST(ParameterSets, APayloadShorterThanEightBytesIsNoConfiguration) {
    const uint8_t bytes[8] = {0x01, 0x40, 0x02, 0x80, 0, 30, 0, 0};
    VideoConfig config;
    EXPECT_FALSE(readVideoConfig(bytes, 7, config));
    ASSERT_TRUE(readVideoConfig(bytes, 8, config));
    EXPECT_EQ(config.describe(), "320x640 at 30 fps, H.264");
}

}  // namespace
}  // namespace tov::phonecheck
