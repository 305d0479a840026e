#include "core/stream_options.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace tov {
namespace {

PhoneInfo::Encoder encoder(const std::string& name, const std::string& codec,
                           int64_t maxBitrate = 100000000, const std::string& presets = "") {
    PhoneInfo::Encoder e;
    e.name = name;
    e.codec = codec;
    e.hardware = true;
    e.maxWidth = 4096;
    e.maxHeight = 2304;
    e.fps = 120;
    e.maxBitrate = maxBitrate;
    e.presets = presets;
    return e;
}

// A phone with a hardware H.264 and HEVC encoder, each with presets.
PhoneInfo probedPhone() {
    PhoneInfo info;
    info.known = true;
    info.device = "Pixel 8";
    info.width = 1080;
    info.height = 2400;
    info.codecs = {"h264", "hevc"};
    info.defaults = {{"h264", "c2.avc"}, {"hevc", "c2.hevc"}};
    info.encoders = {encoder("c2.avc", "h264", 50000000, "sharp:Sharp:60:1920:1080"),
                     encoder("c2.hevc", "hevc", 900000000, "smooth:Smooth:120:1280:720"),
                     encoder("sw.avc", "h264", 1000, "")};
    info.hasEncoders = true;
    return info;
}

TEST(PresetParseTest, RecordsNeedFiveFieldsAndNumbersFollowAtol) {
    const auto presets = parsePresets(
        "sharp:Sharp:60:1920:1080;short:1:2:3;long:L:1:2:3:4;;custom:Custom:30:1:1;"
        "odd:Odd:60fps:x:-720");
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[0].name, "sharp");
    EXPECT_EQ(presets[0].label, "Sharp");
    EXPECT_EQ(presets[0].fps, 60);
    EXPECT_EQ(presets[0].width, 1920);
    EXPECT_EQ(presets[0].height, 1080);
    EXPECT_EQ(presets[1].name, "odd");
    EXPECT_EQ(presets[1].fps, 60);
    EXPECT_EQ(presets[1].width, 0);
    EXPECT_EQ(presets[1].height, -720);
    EXPECT_TRUE(parsePresets("").empty());
    EXPECT_EQ(parsePresets("a:b:99999999999:1:1")[0].fps, INT32_MAX);
}

TEST(Round8Test, NearestMultipleOfEightOfTheWholePart) {
    EXPECT_EQ(round8(822.86), 824);
    EXPECT_EQ(round8(1440.0), 1440);
    EXPECT_EQ(round8(1443.9), 1440);
    EXPECT_EQ(round8(1444.0), 1448);
    EXPECT_EQ(round8(0.0), 0);
    EXPECT_EQ(round8(std::nan("")), 0);
}

TEST(StreamOptionsTest, PhoneAppModeWithDefaults) {
    PanelModel m;
    const StreamOptionMap expected = {
        {"audio", "1"},      {"bitrate", "40000000"}, {"codec", "auto"}, {"encoder", ""},
        {"fit", "0"},        {"fps", "60"},           {"height", "0"},   {"keyframe", "10"},
        {"preset", "sharp"}, {"shape", "0"},          {"shapeName", ""}, {"vbr", "1"},
        {"video", "1"},      {"voice", "1"},          {"width", "0"},
    };
    EXPECT_EQ(buildStreamOptions(m, PhoneInfo{}), expected);

    m.video = false;
    m.vbr = false;
    m.bitrate = -5;
    m.encoder = "c2.avc";
    m.codecChoice = "hevc";
    m.aspect = kShapeTyped;
    m.ratio = "9:16";
    m.fit = kFitCrop;
    const StreamOptionMap changed = buildStreamOptions(m, PhoneInfo{});
    EXPECT_EQ(changed.at("video"), "0");
    EXPECT_EQ(changed.at("vbr"), "0");
    EXPECT_EQ(changed.at("bitrate"), "-5");
    EXPECT_EQ(changed.at("encoder"), "c2.avc");
    EXPECT_EQ(changed.at("codec"), "hevc");
    EXPECT_EQ(changed.at("shape"), "1.7778");
    EXPECT_EQ(changed.at("shapeName"), "9:16");
    EXPECT_EQ(changed.at("fit"), "2");
}

TEST(StreamOptionsTest, NoAppModeSizesOverPresetsAndShapes) {
    const std::vector<PresetRecord> presets = {{"fast", "Fast", 30, 1280, 720},
                                               {"sharp", "Sharp", 60, 1920, 1080},
                                               {"sharp", "Sharp 2", 90, 2400, 1080}};
    struct Case {
        const char* what;
        std::string preset;
        std::vector<PresetRecord> presets;
        int32_t aspect;
        std::string ratio;
        int32_t customWidth, customHeight;
        const char *width, *height, *fps, *bitrate, *shape, *shapeName;
    };
    const PresetRecord hd{"hd", "HD", 60, 1920, 1080};
    const Case cases[] = {
        {"custom size, no preset",
         "custom",
         {hd},
         0,
         "",
         1280,
         720,  //
         "1280",
         "720",
         "24",
         "12000000",
         "1.7778",
         "1.78:1"},
        {"preset at the phone's shape",
         "hd",
         {hd},
         1,
         "",
         0,
         0,  //
         "1920",
         "1080",
         "60",
         "8000000",
         "0",
         ""},
        {"21:9 keeps the width",
         "hd",
         {hd},
         4,
         "",
         0,
         0,  //
         "1920",
         "824",
         "60",
         "8000000",
         "2.3333",
         "21:9"},
        {"4:3 keeps the area",
         "hd",
         {hd},
         3,
         "",
         0,
         0,  //
         "1664",
         "1248",
         "60",
         "8000000",
         "1.3333",
         "4:3"},
        {"16:9 fits exactly",
         "hd",
         {hd},
         2,
         "",
         0,
         0,  //
         "1920",
         "1080",
         "60",
         "8000000",
         "1.7778",
         "16:9"},
        {"typed 9:16 is 16:9",
         "hd",
         {hd},
         5,
         "9:16",
         0,
         0,  //
         "1920",
         "1080",
         "60",
         "8000000",
         "1.7778",
         "9:16"},
        {"square custom size",
         "hd",
         {hd},
         0,
         "",
         500,
         500,  //
         "1440",
         "1440",
         "60",
         "8000000",
         "1.0000",
         "1.00:1"},
        {"last record of the name wins", "sharp", presets, 1, "", 0, 0,  //
         "2400", "1080", "90", "8000000", "0", ""},
        {"unknown name takes the first 60 fps record", "gone", presets, 1, "", 0, 0,  //
         "1920", "1080", "60", "8000000", "0", ""},
        {"no 60 fps record takes the first",
         "gone",
         {presets[0]},
         1,
         "",
         0,
         0,  //
         "1280",
         "720",
         "30",
         "8000000",
         "0",
         ""},
        {"no records keep the custom size",
         "sharp",
         {},
         0,
         "",
         640,
         480,  //
         "640",
         "480",
         "24",
         "12000000",
         "1.3333",
         "1.33:1"},
    };
    for (const Case& c : cases) {
        PanelModel m;
        m.noApp = true;
        m.linkState = LinkState::Live;  // keeps the presets of the case
        m.preset = c.preset;
        m.presets = c.presets;
        m.aspect = c.aspect;
        m.ratio = c.ratio;
        m.customWidth = c.customWidth;
        m.customHeight = c.customHeight;
        m.fps = 24;
        m.mbps = 12;
        m.bitrate = 2000000;  // below the floor of 8 Mbit/s
        m.noAppCodec = "hevc";
        const StreamOptionMap o = buildStreamOptions(m, PhoneInfo{});
        EXPECT_EQ(o.at("width"), c.width) << c.what;
        EXPECT_EQ(o.at("height"), c.height) << c.what;
        EXPECT_EQ(o.at("fps"), c.fps) << c.what;
        EXPECT_EQ(o.at("bitrate"), c.bitrate) << c.what;
        EXPECT_EQ(o.at("shape"), c.shape) << c.what;
        EXPECT_EQ(o.at("shapeName"), c.shapeName) << c.what;
        EXPECT_EQ(o.at("codec"), "hevc") << c.what;
        EXPECT_EQ(o.count("preset"), 0u) << c.what;
    }
}

TEST(StreamOptionsTest, NoAppPresetBitrateStaysBetweenTheFloorAndThePhonesMaximum) {
    PanelModel m;
    m.noApp = true;
    m.linkState = LinkState::Live;
    m.preset = "hd";
    m.presets = {{"hd", "HD", 60, 1920, 1080}};
    m.maxBitrate = 30000000;
    m.bitrate = 50000000;
    EXPECT_EQ(buildStreamOptions(m, PhoneInfo{}).at("bitrate"), "30000000");
    m.bitrate = 20000000;
    EXPECT_EQ(buildStreamOptions(m, PhoneInfo{}).at("bitrate"), "20000000");
    m.maxBitrate = 1000;
    EXPECT_EQ(buildStreamOptions(m, PhoneInfo{}).at("bitrate"), "8000000");
}

TEST(StreamOptionsTest, TheAdaptersLevelReplacesTheChoiceOnlyWhileOnAndNeverAboveIt) {
    PanelModel m;
    m.bitrate = 20000000;
    m.adaptBitrate = 9000000;
    m.adaptPreset = "light";
    m.adaptWidth = 720;  // No app mode's; ignored in Phone app mode
    m.adaptHeight = 1600;
    m.adaptFps = 30;
    StreamOptionMap o = buildStreamOptions(m, PhoneInfo{});
    EXPECT_EQ(o.at("bitrate"), "9000000");
    EXPECT_EQ(o.at("preset"), "light");
    EXPECT_EQ(o.at("width"), "0");
    EXPECT_EQ(buildChosenStreamOptions(m, PhoneInfo{}).at("bitrate"), "20000000");
    m.adaptBitrate = 30000000;  // above the user's: the user's stays
    EXPECT_EQ(buildStreamOptions(m, PhoneInfo{}).at("bitrate"), "20000000");

    m.noApp = true;
    m.preset = "custom";
    m.mbps = 12;
    o = buildStreamOptions(m, PhoneInfo{});
    EXPECT_EQ(o.at("bitrate"), "12000000");
    EXPECT_EQ(o.at("width"), "720");
    EXPECT_EQ(o.at("height"), "1600");
    EXPECT_EQ(o.at("fps"), "30");
    EXPECT_EQ(o.count("preset"), 0u);

    m.adapt = false;  // off: exactly the user's choices
    EXPECT_EQ(buildStreamOptions(m, PhoneInfo{}), buildChosenStreamOptions(m, PhoneInfo{}));
    EXPECT_EQ(buildStreamOptions(m, PhoneInfo{}).at("width"), "0");
}

TEST(CodecInUseTest, WantedCodecOnlyWhenBothSidesCan) {
    struct Case {
        std::string wanted;
        std::vector<std::string> phoneCodecs;
        bool pcHevc;
        const char* expected;
    };
    const Case cases[] = {
        {"auto", {"h264", "hevc"}, true, "hevc"},  {"auto", {"h264", "hevc"}, false, "h264"},
        {"auto", {"h264"}, true, "h264"},          {"h264", {"h264", "hevc"}, true, "h264"},
        {"hevc", {"h264", "hevc"}, false, "h264"}, {"hevc", {"h264", "hevc"}, true, "hevc"},
        {"hevc", {"h264"}, true, "h264"},          {"av1", {"av1", "hevc"}, true, "av1"},
        {"av1", {"av1", "hevc"}, false, "h264"},   {"h264", {}, true, "h264"},
    };
    for (const Case& c : cases) {
        for (bool noApp : {false, true}) {
            PanelModel m;
            m.noApp = noApp;
            (noApp ? m.noAppCodec : m.codecChoice) = c.wanted;
            (noApp ? m.codecChoice : m.noAppCodec) = "h264";  // the other mode's choice is unused
            m.pcHevc = c.pcHevc;
            PhoneInfo info;
            info.codecs = c.phoneCodecs;
            EXPECT_EQ(codecInUse(m, info), c.expected) << c.wanted << " noApp " << noApp;
        }
    }
}

TEST(DerivedValuesTest, ProbedPhoneFillsTheViewWhileNotLive) {
    PanelModel m;
    m.pcHevc = true;
    m.encoder = "sw.avc";
    const PhoneInfo info = probedPhone();
    refreshDerivedValues(m, info);
    EXPECT_EQ(m.probeState, 1);
    EXPECT_EQ(m.encoders.size(), 3u);
    EXPECT_TRUE(m.phoneHevc);
    EXPECT_EQ(m.codec, "hevc");
    // No HEVC encoder is called sw.avc: the phone's default for HEVC is used.
    EXPECT_EQ(m.encoderName, "c2.hevc");
    EXPECT_EQ(m.limits, "h264:4096:2304:120:1000;hevc:4096:2304:120:900000000");
    ASSERT_EQ(m.presets.size(), 1u);
    EXPECT_EQ(m.presets[0].name, "smooth");
    EXPECT_EQ(m.maxBitrate, 400000000);  // clamped from 900000000

    // This PC cannot decode HEVC: the H.264 encoder the user chose, at its own limits.
    m.pcHevc = false;
    refreshDerivedValues(m, info);
    EXPECT_EQ(m.codec, "h264");
    EXPECT_EQ(m.encoderName, "sw.avc");
    EXPECT_TRUE(m.presets.empty());    // sw.avc offers none
    EXPECT_EQ(m.maxBitrate, 8000000);  // clamped from 1000
}

TEST(DerivedValuesTest, LiveStreamKeepsWhatThePhoneAppReported) {
    PanelModel m;
    m.linkState = LinkState::Live;
    m.codec = "h264";
    m.encoderName = "reported";
    m.limits = "reported";
    m.maxBitrate = 12345678;
    m.presets = {{"app", "From the app", 60, 1, 1}};
    m.pcHevc = true;
    refreshDerivedValues(m, probedPhone());
    EXPECT_EQ(m.codec, "h264");
    EXPECT_EQ(m.encoderName, "reported");
    EXPECT_EQ(m.limits, "reported");
    EXPECT_EQ(m.maxBitrate, 12345678);
    ASSERT_EQ(m.presets.size(), 1u);
    EXPECT_EQ(m.presets[0].name, "app");
    EXPECT_EQ(m.probeState, 1);

    // A live No app stream takes the presets from the probe, never the maximum bitrate.
    m.noApp = true;
    refreshDerivedValues(m, probedPhone());
    ASSERT_EQ(m.presets.size(), 1u);
    EXPECT_EQ(m.presets[0].name, "sharp");  // the H.264 encoder still in use
    EXPECT_EQ(m.maxBitrate, 12345678);
}

TEST(DerivedValuesTest, WithoutAnAnswerPresetsEmptyOnlyWhileNotLive) {
    PanelModel m;
    m.presets = {{"old", "Old", 60, 1, 1}};
    refreshDerivedValues(m, PhoneInfo{});
    EXPECT_EQ(m.probeState, 0);
    EXPECT_TRUE(m.presets.empty());

    PhoneInfo silent;
    silent.known = true;  // the phone did not answer
    m.presets = {{"old", "Old", 60, 1, 1}};
    m.linkState = LinkState::Live;
    refreshDerivedValues(m, silent);
    EXPECT_EQ(m.probeState, -1);
    EXPECT_EQ(m.presets.size(), 1u);
    m.linkState = LinkState::Ready;
    m.codec = "hevc";
    refreshDerivedValues(m, silent);
    EXPECT_TRUE(m.presets.empty());
    EXPECT_EQ(m.codec, "hevc");  // untouched without an answer
}

}  // namespace
}  // namespace tov
