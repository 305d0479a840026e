#include <gtest/gtest.h>

#include "core/phone_info.h"

namespace tov {
namespace {

PhoneInfo::Encoder encoder(const std::string& name, const std::string& codec, int fps) {
    PhoneInfo::Encoder e;
    e.name = name;
    e.codec = codec;
    e.fps = fps;
    return e;
}

TEST(PhoneInfo, EncoderLookupPrefersTheNamedOneThenTheLastDefault) {
    PhoneInfo info;
    info.codecs = {"h264", "hevc"};
    info.encoders = {encoder("c2.hw.avc", "h264", 60), encoder("c2.sw.avc", "h264", 30),
                     encoder("c2.hw.avc", "h264", 90), encoder("c2.hw.hevc", "hevc", 60)};
    info.defaults["h264"] = "c2.hw.avc";
    ASSERT_NE(info.encoderFor("h264", "c2.sw.avc"), nullptr);
    EXPECT_EQ(info.encoderFor("h264", "c2.sw.avc")->fps, 30);
    // Unknown name: the last encoder named as the default.
    ASSERT_NE(info.encoderFor("h264", "nope"), nullptr);
    EXPECT_EQ(info.encoderFor("h264", "nope")->fps, 90);
    // A name of another codec does not match.
    EXPECT_EQ(info.encoderFor("hevc", "c2.hw.avc"), nullptr);
    EXPECT_EQ(info.encoderFor("av1", ""), nullptr);
    EXPECT_TRUE(info.hasCodec("hevc"));
    EXPECT_FALSE(info.hasCodec("hev"));
}

}  // namespace
}  // namespace tov
