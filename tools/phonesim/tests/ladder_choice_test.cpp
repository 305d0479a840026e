// Which clip of a phone-size ladder answers the stream options, and the presets it offers.
#include <gtest/gtest.h>

#include "tools/phonesim/clip_ladder.h"

namespace tov::phonesim {
namespace {

LadderRung rung(int w, int h, int fps, int kbps) {
    return {w, h, fps, int64_t{kbps} * 1000, std::to_string(w) + "x" + std::to_string(h) + "_" +
                                                  std::to_string(fps) + "_" +
                                                  std::to_string(kbps) + "k"};
}

// Best first, as listLadder sorts them.
const std::vector<LadderRung> kLadder = {
    rung(1080, 2400, 60, 24000), rung(1080, 2400, 60, 6000), rung(1080, 2400, 30, 12000),
    rung(720, 1600, 60, 10000),  rung(720, 1600, 60, 5000),  rung(540, 1200, 60, 3000),
    rung(720, 1600, 30, 5000),   rung(720, 1600, 30, 2500),  rung(540, 1200, 30, 1500)};

std::string pick(const TextMap& options, bool noApp) {
    return kLadder[pickRung(kLadder, wishFromOptions(options, noApp, kLadder))].path;
}

TEST(LadderChoice, TheOptionsPickSizeThenFrameRateThenTheBitrateAnEncoderWouldStayUnder) {
    // Phone app mode: the preset's size and rate; a preset the phone lacks leaves it the best.
    EXPECT_EQ(pick({{"preset", "720p60"}, {"bitrate", "8000000"}}, false), "720x1600_60_5000k");
    EXPECT_EQ(pick({{"preset", "sharp"}, {"bitrate", "40000000"}}, false), "1080x2400_60_24000k");
    EXPECT_EQ(pick({{"preset", "540p30"}, {"bitrate", "100000"}}, false), "540x1200_30_1500k");
    // No app mode: the size and rate themselves; a landscape shape by its long side.
    EXPECT_EQ(pick({{"width", "720"}, {"height", "1600"}, {"fps", "30"}, {"bitrate", "4000000"}},
                   true),
              "720x1600_30_2500k");
    EXPECT_EQ(pick({{"width", "1920"}, {"height", "824"}, {"fps", "60"}, {"bitrate", "9000000"}},
                   true),
              "720x1600_60_5000k");
    EXPECT_EQ(pick({{"width", "0"}, {"height", "0"}, {"fps", "45"}, {"bitrate", "0"}}, true),
              "1080x2400_30_12000k");
    EXPECT_EQ(ladderPresets(kLadder),
              "1080p60:1080x2400 60 fps:60:1080:2400;1080p30:1080x2400 30 fps:30:1080:2400;"
              "720p60:720x1600 60 fps:60:720:1600;540p60:540x1200 60 fps:60:540:1200;"
              "720p30:720x1600 30 fps:30:720:1600;540p30:540x1200 30 fps:30:540:1200");
}

}  // namespace
}  // namespace tov::phonesim
