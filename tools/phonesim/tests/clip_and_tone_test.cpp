#include <gtest/gtest.h>

#include "core/annex_b.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/phonesim/pcm_tone.h"
#include "tools/phonesim/sps_size.h"
#include "tools/phonesim/video_clip.h"

namespace tov::phonesim {
namespace {

std::string media(const char* name) {
    std::string bytes;
    readFile(widen(std::string(TOV_TEST_MEDIA_DIR) + "/" + name), bytes);
    return bytes;
}

TEST(VideoClip, RecordedClipIsCutIntoAccessUnitsWithParameterSetsApart) {
    VideoClip clip;
    std::string error;
    ASSERT_TRUE(parseVideoClip(media("phone_h264_320x640.h264"), VideoCodec::H264, clip, error))
        << error;
    EXPECT_EQ(clip.width, 320);
    EXPECT_EQ(clip.height, 640);
    // 3 seconds at 30 pictures a second, a key picture every 30.
    ASSERT_EQ(clip.units.size(), 90u);
    for (size_t i = 0; i < clip.units.size(); ++i) {
        EXPECT_EQ(clip.units[i].key, i % 30 == 0) << "unit " << i;
        for (std::string_view nal : splitAnnexB(clip.units[i].bytes)) {
            const int type = nalType(/*hevc=*/false, nal);
            EXPECT_TRUE(type != 7 && type != 8 && type != 9) << "unit " << i << " type " << type;
            if (type == 5) {
                EXPECT_TRUE(clip.units[i].key);
            }
        }
    }
    const std::vector<std::string_view> config = splitAnnexB(clip.config);
    ASSERT_EQ(config.size(), 2u);
    EXPECT_EQ(config[0][0] & 0x1f, 7);
    EXPECT_EQ(config[1][0] & 0x1f, 8);
    EXPECT_EQ(clip.config.substr(0, 4), std::string("\0\0\0\1", 4));
}

TEST(VideoClip, LandscapeClipSizeComesFromItsSps) {
    VideoClip clip;
    std::string error;
    ASSERT_TRUE(parseVideoClip(media("phone_h264_640x360.h264"), VideoCodec::H264, clip, error))
        << error;
    // 360 is not a multiple of 16: the SPS crops 368 down.
    EXPECT_EQ(clip.width, 640);
    EXPECT_EQ(clip.height, 360);
    EXPECT_EQ(clip.units.size(), 60u);
}

TEST(VideoClip, NextKeyWrapsRound) {
    VideoClip clip;
    std::string error;
    ASSERT_TRUE(parseVideoClip(media("phone_h264_320x640.h264"), VideoCodec::H264, clip, error));
    EXPECT_EQ(clip.nextKey(0), 0u);
    EXPECT_EQ(clip.nextKey(1), 30u);
    EXPECT_EQ(clip.nextKey(30), 30u);
    EXPECT_EQ(clip.nextKey(61), 0u);
}

TEST(VideoClip, UnusableStreamsAreRefusedWithAReason) {
    VideoClip clip;
    std::string error;
    EXPECT_FALSE(parseVideoClip("", VideoCodec::H264, clip, error));
    EXPECT_FALSE(error.empty());
    // Parameter sets but no picture.
    const std::string stream = media("phone_h264_320x640.h264");
    std::string setsOnly;
    for (std::string_view nal : splitAnnexB(stream)) {
        const int type = nalType(/*hevc=*/false, nal);
        if (type == 7 || type == 8) setsOnly.append("\0\0\0\1", 4).append(nal);
    }
    EXPECT_FALSE(parseVideoClip(setsOnly, VideoCodec::H264, clip, error));
    EXPECT_NE(error.find("key"), std::string::npos);
    // A truncated SPS cannot give a size.
    int w = 0, h = 0;
    EXPECT_FALSE(readH264SpsSize(std::string("\x67\x64", 2), w, h));
    EXPECT_FALSE(readH264SpsSize(std::string("\x68\x64\x00\x1e", 4), w, h));
}

TEST(VideoClip, HevcClipKeepsVpsSpsPpsApartAndKeysOnIrapPictures) {
    VideoClip clip;
    std::string error;
    ASSERT_TRUE(parseVideoClip(media("phone_hevc_320x640.h265"), VideoCodec::Hevc, clip, error))
        << error;
    EXPECT_EQ(clip.codec, VideoCodec::Hevc);
    EXPECT_EQ(clip.width, 320);
    EXPECT_EQ(clip.height, 640);
    ASSERT_EQ(clip.units.size(), 30u);  // one second at 30 pictures a second
    EXPECT_TRUE(clip.units[0].key);
    for (size_t i = 1; i < clip.units.size(); ++i) EXPECT_FALSE(clip.units[i].key) << i;
    const std::vector<std::string_view> sets = splitAnnexB(clip.config);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ((sets[0][0] >> 1) & 0x3f, 32);
    EXPECT_EQ((sets[1][0] >> 1) & 0x3f, 33);
    EXPECT_EQ((sets[2][0] >> 1) & 0x3f, 34);
    int w = 0, h = 0;
    EXPECT_FALSE(readHevcSpsSize(sets[0], w, h)) << "a VPS is not an SPS";
    EXPECT_FALSE(readHevcSpsSize(sets[1].substr(0, 6), w, h)) << "cut short";
    // The H.264 reading of an HEVC stream finds no usable parameter sets.
    EXPECT_FALSE(parseVideoClip(media("phone_hevc_320x640.h265"), VideoCodec::H264, clip, error));
}

TEST(PcmTone, SixteenBitStereoLittleEndianContinuousAcrossCalls) {
    PcmTone a(48000, 2, 440.0), b(48000, 2, 440.0);
    const std::string whole = a.next(960);
    std::string parts = b.next(480);
    parts += b.next(480);
    ASSERT_EQ(whole.size(), 960u * 4);
    EXPECT_TRUE(whole == parts);
    int peak = 0;
    for (size_t i = 0; i + 3 < whole.size(); i += 4) {
        const auto left = static_cast<int16_t>(static_cast<uint8_t>(whole[i]) |
                                               (static_cast<uint8_t>(whole[i + 1]) << 8));
        const auto right = static_cast<int16_t>(static_cast<uint8_t>(whole[i + 2]) |
                                                (static_cast<uint8_t>(whole[i + 3]) << 8));
        EXPECT_EQ(left, right);
        peak = std::max(peak, std::abs(static_cast<int>(left)));
    }
    // A quarter of full scale, reached within the 20 ms (8.8 periods of 440 Hz).
    EXPECT_NEAR(peak, 8192, 20);
}

}  // namespace
}  // namespace tov::phonesim
