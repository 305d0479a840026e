#include "core/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "ini_entries.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using test::iniEntries;
using test::writeIniText;

class SettingsFileTest : public ::testing::Test {
  protected:
    PanelModel load() {
        PanelModel model;
        readSettings(path_, model, extras_);
        return model;
    }
    void loadText(const std::string& text) { writeIniText(path_, text); }

    test::TempDir dir_;
    std::wstring path_ = dir_.file(L"settings.ini");
    SettingsExtras extras_;
};

// Every saved field away from its default, so a round trip shows each one.
PanelModel changedModel() {
    PanelModel m;
    m.keyboard = false;
    m.mouse = false;
    m.deviceMode = true;
    m.accel = false;
    m.speed = 2.5f;
    m.everyPhone = true;
    m.video = false;
    m.audio = false;
    m.preset = "smooth";
    m.codecChoice = "hevc";
    m.bitrate = 12345678;
    m.encoder = "c2.qti.avc.encoder";
    m.vbr = false;
    m.voice = false;
    m.adapt = false;
    m.soundFromAll = true;
    m.autoUpdate = false;
    m.pinned = "R58M123ABC";
    m.pinnedName = "Galaxy S21";
    m.preferUsb = false;
    m.wifi = true;
    m.toPhone = false;
    m.toPc = false;
    m.pictures = true;
    m.passwords = true;
    m.noApp = true;
    m.customWidth = 2560;
    m.customHeight = 1080;
    m.fps = 90;
    m.mbps = 25;
    m.fit = 2;
    m.aspect = 5;
    m.ratio = "2.35";
    m.matchPhone = true;
    m.keyframe = "2.5";
    m.noAppCodec = "h264";
    return m;
}

void expectSavedFieldsEqual(const PanelModel& a, const PanelModel& b) {
    EXPECT_EQ(a.keyboard, b.keyboard);
    EXPECT_EQ(a.mouse, b.mouse);
    EXPECT_EQ(a.deviceMode, b.deviceMode);
    EXPECT_EQ(a.accel, b.accel);
    EXPECT_FLOAT_EQ(a.speed, b.speed);
    EXPECT_EQ(a.everyPhone, b.everyPhone);
    EXPECT_EQ(a.video, b.video);
    EXPECT_EQ(a.audio, b.audio);
    EXPECT_EQ(a.preset, b.preset);
    EXPECT_EQ(a.codecChoice, b.codecChoice);
    EXPECT_EQ(a.bitrate, b.bitrate);
    EXPECT_EQ(a.encoder, b.encoder);
    EXPECT_EQ(a.vbr, b.vbr);
    EXPECT_EQ(a.voice, b.voice);
    EXPECT_EQ(a.adapt, b.adapt);
    EXPECT_EQ(a.soundFromAll, b.soundFromAll);
    EXPECT_EQ(a.autoUpdate, b.autoUpdate);
    EXPECT_EQ(a.pinned, b.pinned);
    EXPECT_EQ(a.pinnedName, b.pinnedName);
    EXPECT_EQ(a.preferUsb, b.preferUsb);
    EXPECT_EQ(a.wifi, b.wifi);
    EXPECT_EQ(a.toPhone, b.toPhone);
    EXPECT_EQ(a.toPc, b.toPc);
    EXPECT_EQ(a.pictures, b.pictures);
    EXPECT_EQ(a.passwords, b.passwords);
    EXPECT_EQ(a.noApp, b.noApp);
    EXPECT_EQ(a.customWidth, b.customWidth);
    EXPECT_EQ(a.customHeight, b.customHeight);
    EXPECT_EQ(a.fps, b.fps);
    EXPECT_EQ(a.mbps, b.mbps);
    EXPECT_EQ(a.fit, b.fit);
    EXPECT_EQ(a.aspect, b.aspect);
    EXPECT_EQ(a.ratio, b.ratio);
    EXPECT_EQ(a.matchPhone, b.matchPhone);
    EXPECT_EQ(a.keyframe, b.keyframe);
    EXPECT_EQ(a.noAppCodec, b.noAppCodec);
}

TEST_F(SettingsFileTest, MissingEmptyAndPathlessFilesGiveTheDefaults) {
    const PanelModel defaults;
    expectSavedFieldsEqual(load(), defaults);  // no file at all
    loadText("");
    expectSavedFieldsEqual(load(), defaults);
    PanelModel model = changedModel();
    readSettings(L"", model, extras_);
    expectSavedFieldsEqual(model, defaults);
    EXPECT_EQ(extras_.seenVersion, "");
    EXPECT_EQ(extras_.lastPhone, "");

    // The values the rest of the program relies on, spelled out.
    const PanelModel m = load();
    EXPECT_TRUE(m.keyboard && m.mouse && m.video && m.audio && m.vbr && m.voice && m.adapt);
    EXPECT_TRUE(m.autoUpdate && m.preferUsb && m.toPhone && m.toPc && m.accel);
    EXPECT_FALSE(m.deviceMode || m.wifi || m.pictures || m.passwords || m.noApp || m.matchPhone);
    EXPECT_FALSE(m.soundFromAll || m.everyPhone);
    EXPECT_EQ(m.preset, "sharp");
    EXPECT_EQ(m.codecChoice, "auto");
    EXPECT_EQ(m.noAppCodec, "auto");
    EXPECT_EQ(m.bitrate, 40000000);
    EXPECT_FLOAT_EQ(m.speed, 1.0f);
    EXPECT_EQ(m.fps, 60);
    EXPECT_EQ(m.mbps, 40);
    EXPECT_EQ(m.keyframe, "10");
}

TEST_F(SettingsFileTest, EverySavedFieldSurvivesARoundTrip) {
    const PanelModel saved = changedModel();
    writeSettings(path_, saved, {"1.0.3", "wifi:R58M123ABC"});
    const PanelModel loaded = load();
    expectSavedFieldsEqual(loaded, saved);
    EXPECT_EQ(extras_.seenVersion, "1.0.3");
    EXPECT_EQ(extras_.lastPhone, "wifi:R58M123ABC");

    // Values that are not saved keep whatever the model held.
    PanelModel panelOnly;
    panelOnly.showVideo = false;
    panelOnly.onTop = true;
    panelOnly.volume = 0.3f;
    readSettings(path_, panelOnly, extras_);
    EXPECT_FALSE(panelOnly.showVideo);
    EXPECT_TRUE(panelOnly.onTop);
    EXPECT_FLOAT_EQ(panelOnly.volume, 0.3f);
}

TEST_F(SettingsFileTest, NumbersAreClampedToTheirRanges) {
    struct Case {
        const char* text;
        int32_t PanelModel::*field;
        int32_t expected;
    };
    const Case cases[] = {
        {"[stream]\nbitrate=100", &PanelModel::bitrate, 500000},
        {"[stream]\nbitrate=2100000000", &PanelModel::bitrate, 2000000000},
        {"[stream]\nbitrate=-5", &PanelModel::bitrate, 500000},
        {"[noapp]\nwidth=-1", &PanelModel::customWidth, 0},
        {"[noapp]\nwidth=9000", &PanelModel::customWidth, 8192},
        {"[noapp]\nheight=8193", &PanelModel::customHeight, 8192},
        {"[noapp]\nfps=0", &PanelModel::fps, 1},
        {"[noapp]\nfps=241", &PanelModel::fps, 240},
        {"[noapp]\nmbps=0", &PanelModel::mbps, 1},
        {"[noapp]\nmbps=2001", &PanelModel::mbps, 2000},
        {"[noapp]\nfit=3", &PanelModel::fit, 2},
        {"[noapp]\nfit=-1", &PanelModel::fit, 0},
        {"[noapp]\naspect=9", &PanelModel::aspect, 0},  // 5 without a ratio, so back to 0
        {"[noapp]\naspect=4", &PanelModel::aspect, 4},
        // Unreadable numbers read as 0, then clamp.
        {"[noapp]\nfps=fast", &PanelModel::fps, 1},
        {"[stream]\nbitrate=lots", &PanelModel::bitrate, 500000},
        // Trailing text after the digits is ignored.
        {"[noapp]\nfps=30fps", &PanelModel::fps, 30},
    };
    for (const Case& c : cases) {
        loadText(c.text);
        EXPECT_EQ(load().*c.field, c.expected) << c.text;
    }

    loadText("[input]\nspeed=10");
    EXPECT_FLOAT_EQ(load().speed, 0.25f);
    loadText("[input]\nspeed=1000");
    EXPECT_FLOAT_EQ(load().speed, 4.0f);
    loadText("[input]\nspeed=150");
    EXPECT_FLOAT_EQ(load().speed, 1.5f);
}

TEST_F(SettingsFileTest, NumbersBeyondThirtyTwoBitsStillLandInRange) {
    loadText(
        "[stream]\nbitrate=99999999999999999999999\n"
        "[noapp]\nwidth=4294967297\nfps=-99999999999\nmbps=18446744073709551616\n");
    const PanelModel m = load();
    EXPECT_GE(m.bitrate, 500000);
    EXPECT_LE(m.bitrate, 2000000000);
    EXPECT_GE(m.customWidth, 0);
    EXPECT_LE(m.customWidth, 8192);
    EXPECT_GE(m.fps, 1);
    EXPECT_LE(m.fps, 240);
    EXPECT_GE(m.mbps, 1);
    EXPECT_LE(m.mbps, 2000);
}

TEST_F(SettingsFileTest, SpeedIsSavedInHundredths) {
    PanelModel m;
    m.speed = 0.25f;
    writeSettings(path_, m, {});
    EXPECT_FLOAT_EQ(load().speed, 0.25f);
    EXPECT_EQ(iniEntries(path_)[4], "input/speed=25");

    m.speed = 1.337f;  // 133.7 rounds up
    writeSettings(path_, m, {});
    EXPECT_EQ(iniEntries(path_)[4], "input/speed=134");

    // A speed the file could not hold back is saved as the default.
    m.speed = std::numeric_limits<float>::quiet_NaN();
    writeSettings(path_, m, {});
    EXPECT_EQ(iniEntries(path_)[4], "input/speed=100");
}

TEST_F(SettingsFileTest, OlderModeKeyDecidesDeviceModeAndIsRemovedAtSave) {
    struct Case {
        const char* text;
        bool device;
    };
    const Case cases[] = {
        {"[input]\nmode=1\ndevice=0", true},  {"[input]\nmode=0\ndevice=1", false},
        {"[input]\nmode=2\ndevice=1", false}, {"[input]\nmode=-1\ndevice=1", true},
        {"[input]\ndevice=1", true},          {"[input]\ndevice=0", false},
    };
    for (const Case& c : cases) {
        loadText(c.text);
        EXPECT_EQ(load().deviceMode, c.device) << c.text;
    }

    loadText("[input]\nmode=1\ndevice=0");
    writeSettings(path_, load(), extras_);
    const auto entries = iniEntries(path_);
    EXPECT_NE(std::find(entries.begin(), entries.end(), "input/device=1"), entries.end());
    for (const std::string& e : entries) EXPECT_NE(e.rfind("input/mode=", 0), 0u) << e;
    EXPECT_TRUE(load().deviceMode);
}

TEST_F(SettingsFileTest, NoAppModeWithoutASavedPresetUsesTheCustomSize) {
    loadText("[noapp]\non=1");
    EXPECT_EQ(load().preset, "custom");
    loadText("[noapp]\non=1\n[stream]\npreset=");
    EXPECT_EQ(load().preset, "custom");
    loadText("[noapp]\non=1\n[stream]\npreset=fast");
    EXPECT_EQ(load().preset, "fast");
    loadText("[noapp]\non=0");
    EXPECT_EQ(load().preset, "sharp");
}

TEST_F(SettingsFileTest, TypedShapeNeedsAUsableRatio) {
    loadText("[noapp]\naspect=5");
    EXPECT_EQ(load().aspect, 0);
    loadText("[noapp]\naspect=5\nratio=16:9x");
    EXPECT_EQ(load().aspect, 0);
    loadText("[noapp]\naspect=5\nratio=11");
    EXPECT_EQ(load().aspect, 0);
    loadText("[noapp]\naspect=5\nratio=9:16");
    PanelModel m = load();
    EXPECT_EQ(m.aspect, 5);
    EXPECT_EQ(m.ratio, "9:16");
}

TEST_F(SettingsFileTest, TextsKeepTheirBufferSize) {
    loadText("[stream]\npreset=" + std::string(40, 'p') + "\nencoder=" + std::string(200, 'e') +
             "\n");
    const PanelModel m = load();
    EXPECT_EQ(m.preset, std::string(31, 'p'));
    EXPECT_EQ(m.encoder, std::string(127, 'e'));
}

// Phone names and keys are the phone's own, in any script.
TEST_F(SettingsFileTest, TextsBeyondAsciiReadBackWhole) {
    PanelModel m;
    m.pinnedName = "Xiaomi \xe7\xba\xa2\xe7\xb1\xb3";  // "Xiaomi 红米"
    m.pinned = "caf\xc3\xa9";
    writeSettings(path_, m, {});
    const PanelModel back = load();
    EXPECT_EQ(back.pinnedName, m.pinnedName);
    EXPECT_EQ(back.pinned, m.pinned);
}

TEST_F(SettingsFileTest, LineBreaksInTextsCannotAddKeysOrSections) {
    PanelModel m;
    m.preset = "sharp\r\n[input]\r\nkeyboard=0";
    m.encoder = "enc\nvbr=0";
    m.pinnedName = "name\n[game]";
    writeSettings(path_, m, {});
    const PanelModel back = load();
    EXPECT_TRUE(back.keyboard);
    EXPECT_TRUE(back.vbr);
    EXPECT_EQ(back.preset, "sharp??[input]??keyboard=0");
    EXPECT_EQ(back.encoder, "enc?vbr=0");
    for (const std::string& e : iniEntries(path_)) EXPECT_NE(e.rfind("game/", 0), 0u) << e;
}

TEST_F(SettingsFileTest, SaveWritesEveryKeyInOrderAndKeepsOtherOwnersKeys) {
    loadText(
        "; edited by hand\n"
        "[game]\nmode=2\nboost=1\n"
        "[input]\nmode=1\nkeyboard=banana\nspeed=99999\n"
        "[phone]\nresized=1080x2400\noriginal=1080x2340\n"
        "[mystery]\nkeep=me\n"
        "[noapp]\nfps=-3\naspect=5\nratio=nonsense\n");
    const PanelModel m = load();
    writeSettings(path_, m, {"1.1.0", "usb:ABC"});

    const std::vector<std::string> expected = {
        "input/keyboard=0",
        "input/speed=400",
        "input/mouse=1",
        "input/device=1",
        "input/accel=1",
        "input/everyphone=0",
        "phone/resized=1080x2400",
        "phone/original=1080x2340",
        "phone/pinned=",
        "phone/pinnedname=",
        "phone/last=usb:ABC",
        "phone/preferusb=1",
        "phone/wifi=0",
        "mystery/keep=me",
        "noapp/fps=1",
        "noapp/aspect=0",
        "noapp/ratio=nonsense",
        "noapp/on=0",
        "noapp/width=0",
        "noapp/height=0",
        "noapp/mbps=40",
        "noapp/fit=0",
        "noapp/matchphone=0",
        "noapp/keyframe=10",
        "noapp/codec=auto",
        "stream/video=1",
        "stream/audio=1",
        "stream/preset=sharp",
        "stream/codec=auto",
        "stream/bitrate=40000000",
        "stream/encoder=",
        "stream/vbr=1",
        "stream/voice=1",
        "stream/adapt=1",
        "stream/soundfromall=0",
        "update/auto=1",
        "update/seen=1.1.0",
        "clipboard/tophone=1",
        "clipboard/topc=1",
        "clipboard/pictures=0",
        "clipboard/passwords=0",
    };
    EXPECT_EQ(iniEntries(path_), expected);
    expectSavedFieldsEqual(load(), m);
}

TEST_F(SettingsFileTest, SaveIntoANewFileFollowsTheKeyOrder) {
    writeSettings(path_, changedModel(), {"1.0.0", "k"});
    const std::vector<std::string> expected = {
        "input/keyboard=0",
        "input/mouse=0",
        "input/device=1",
        "input/accel=0",
        "input/speed=250",
        "input/everyphone=1",
        "stream/video=0",
        "stream/audio=0",
        "stream/preset=smooth",
        "stream/codec=hevc",
        "stream/bitrate=12345678",
        "stream/encoder=c2.qti.avc.encoder",
        "stream/vbr=0",
        "stream/voice=0",
        "stream/adapt=0",
        "stream/soundfromall=1",
        "update/auto=0",
        "update/seen=1.0.0",
        "phone/pinned=R58M123ABC",
        "phone/pinnedname=Galaxy S21",
        "phone/last=k",
        "phone/preferusb=0",
        "phone/wifi=1",
        "clipboard/tophone=0",
        "clipboard/topc=0",
        "clipboard/pictures=1",
        "clipboard/passwords=1",
        "noapp/on=1",
        "noapp/width=2560",
        "noapp/height=1080",
        "noapp/fps=90",
        "noapp/mbps=25",
        "noapp/fit=2",
        "noapp/aspect=5",
        "noapp/ratio=2.35",
        "noapp/matchphone=1",
        "noapp/keyframe=2.5",
        "noapp/codec=h264",
    };
    EXPECT_EQ(iniEntries(path_), expected);
}

TEST_F(SettingsFileTest, WithoutAPathNothingIsWritten) {
    writeSettings(L"", changedModel(), {"1.0.0", "k"});
    EXPECT_FALSE(isFile(path_));
}

TEST(SettingsPathTest, LivesInTheProgramFolderUnderLocalAppData) {
    test::TempDir dir;
    {
        test::ScopedEnv env(L"LOCALAPPDATA", dir.path());
        const std::wstring path = settingsPath();
        EXPECT_EQ(path, joinPath(joinPath(dir.path(), L"Tovenmar"), L"settings.ini"));
        EXPECT_TRUE(isDirectory(joinPath(dir.path(), L"Tovenmar")));
    }
    {
        test::ScopedEnv env(L"LOCALAPPDATA", nullptr);
        EXPECT_EQ(settingsPath(), L"");
    }
    {
        test::ScopedEnv env(L"LOCALAPPDATA", std::wstring(260, L'x'));
        EXPECT_EQ(settingsPath(), L"");
    }
}

}  // namespace
}  // namespace tov
