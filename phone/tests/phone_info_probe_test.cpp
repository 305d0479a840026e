#include "phone/phone_info_probe.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "platform/sha256.h"
#include "phone/tests/fake_adb.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

const char* const kFullAnswer =
    "some noise first\n"
    "tovenmar-info-begin\r\n"
    "device=Pixel 7\r\n"
    "screen=1080x2400\r\n"
    "refresh=120\r\n"
    "codecs=h264,,hevc\r\n"
    "default.h264=c2.exynos.h264.encoder\r\n"
    "default.hevc=c2.exynos.hevc.encoder\r\n"
    "encoders=c2.exynos.h264.encoder:h264:1:3840:2160:60:80000000;"
    "c2.android.avc.encoder:h264:0:1920:1088:30:12000000;"
    "six:h264:1:1:1:1;eight:h264:1:1:1:1:1:1;"
    "c2.exynos.hevc.encoder:hevc:1:4096:2176:60:9000000000\r\n"
    "presets.c2.exynos.h264.encoder=sharp:Sharp:60:1080:2400,smooth:Smooth:120:720:1600\r\n"
    "=nameless\r\n"
    "no equals sign\r\n"
    "refresh=90\r\n"
    "tovenmar-info-end\r\n";

// docs/phone-app.md §The info probe
TEST(PhoneInfoAnswer, AFullAnswerFillsEveryField) {
    const std::optional<PhoneInfo> info = parsePhoneInfoAnswer(kFullAnswer);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->known);
    EXPECT_TRUE(info->hasEncoders);
    EXPECT_EQ(info->device, "Pixel 7");
    EXPECT_EQ(info->width, 1080);
    EXPECT_EQ(info->height, 2400);
    EXPECT_EQ(info->refresh, 90);  // the later line wins
    EXPECT_EQ(info->codecs, (std::vector<std::string>{"h264", "hevc"}));
    EXPECT_EQ(info->defaults.at("hevc"), "c2.exynos.hevc.encoder");
    ASSERT_EQ(info->encoders.size(), 3u);  // six and eight fields are skipped
    const PhoneInfo::Encoder& hw = info->encoders[0];
    EXPECT_EQ(hw.name, "c2.exynos.h264.encoder");
    EXPECT_EQ(hw.codec, "h264");
    EXPECT_TRUE(hw.hardware);
    EXPECT_EQ(hw.maxWidth, 3840);
    EXPECT_EQ(hw.maxHeight, 2160);
    EXPECT_EQ(hw.fps, 60);
    EXPECT_EQ(hw.maxBitrate, 80000000);
    EXPECT_EQ(hw.presets, "sharp:Sharp:60:1080:2400,smooth:Smooth:120:720:1600");
    EXPECT_FALSE(info->encoders[1].hardware);
    EXPECT_EQ(info->encoders[1].presets, "");
    EXPECT_EQ(info->encoders[2].maxBitrate, 9000000000LL);  // needs 64 bits
    EXPECT_EQ(info->encoderFor("hevc", "")->name, "c2.exynos.hevc.encoder");
}

// docs/phone-app.md §The info probe
TEST(PhoneInfoAnswer, MarkersOutOfPlaceMeanNoAnswerAndBadNumbersReadAsZero) {
    EXPECT_FALSE(parsePhoneInfoAnswer("device=x\ntovenmar-info-end\n"));
    EXPECT_FALSE(parsePhoneInfoAnswer("tovenmar-info-begin\ndevice=x\n"));
    EXPECT_FALSE(parsePhoneInfoAnswer("tovenmar-info-end\ntovenmar-info-begin\ndevice=x\n"));
    const auto empty = parsePhoneInfoAnswer("tovenmar-info-begin\ntovenmar-info-end");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->known);
    EXPECT_FALSE(empty->hasEncoders);
    const auto bad = parsePhoneInfoAnswer(
        "tovenmar-info-begin\nscreen=wide\nrefresh=99999999999\n"
        "encoders=a:h264:yes:x:y:z:w\ntovenmar-info-end");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->width, 0);
    EXPECT_EQ(bad->refresh, 0);
    ASSERT_EQ(bad->encoders.size(), 1u);
    EXPECT_FALSE(bad->encoders[0].hardware);
    EXPECT_EQ(bad->encoders[0].fps, 0);
}

class ProbeTest : public ::testing::Test {
  protected:
    const std::string package = "the package";
    const std::wstring prefix = L"-s P ";
    const std::wstring probe =
        L"-s P shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
        L"com.tovenmar.app.shell.PhoneInfo";
    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    test::FakeAdb adb;
    std::unique_ptr<AppInstaller> installer;

    void SetUp() override {
        openLog();
        AppInstaller::Options options;
        options.runAdb = adb.runner();
        options.loadPackage = [this] { return package; };
        options.copyFolder = dir.file(L"copy");
        installer = std::make_unique<AppInstaller>(options);
        adb.answer(prefix + L"shell sha256sum /data/local/tmp/tovenmar.apk", true,
                   sha256Hex(package) + "  /data/local/tmp/tovenmar.apk\n");
    }
    PhoneInfo run() { return probePhoneInfo(*installer, adb.runner(), L"adb", prefix); }
    std::string log() {
        std::string text;
        readFile(joinPath(joinPath(dir.path(), L"Tovenmar"), L"tovenmar.log"), text);
        return text;
    }
};

// docs/phone-app.md §The info probe
TEST_F(ProbeTest, RunsTheProbeFromTheHelperCopyAndLogsWhatItLearned) {
    adb.answer(probe, false, kFullAnswer);  // the exit code does not matter
    const PhoneInfo info = run();
    EXPECT_EQ(info.device, "Pixel 7");
    EXPECT_EQ(info.encoders.size(), 3u);
    EXPECT_EQ(adb.timeouts().back(), 15000u);
    EXPECT_NE(log().find("phone info: Pixel 7, 1080x2400 at 90 Hz, 3 encoders"), std::string::npos);
}

TEST_F(ProbeTest, NoAnswerLogsAtMost300BytesOnOneLine) {
    std::string noise = "Exception in thread main\njava.lang.ClassNotFoundException\n";
    noise += std::string(400, 'z') + "\ntovenmar-info-end\n";
    adb.answer(probe, true, noise);
    const PhoneInfo info = run();
    EXPECT_TRUE(info.known);
    EXPECT_EQ(info.device, "");
    const std::string text = log();
    const std::string start = "phone info: no answer (Exception in thread main java.lang.";
    const size_t at = text.find(start);
    ASSERT_NE(at, std::string::npos) << text;
    const size_t open = at + std::string("phone info: no answer (").size();
    const size_t close = text.find(')', open);
    ASSERT_NE(close, std::string::npos);
    EXPECT_EQ(close - open, 300u);
    EXPECT_EQ(text.find("tovenmar-info-end"), std::string::npos);
}

TEST_F(ProbeTest, AHelperThatCannotBeCopiedMeansNoProbe) {
    adb.answer(prefix + L"shell sha256sum /data/local/tmp/tovenmar.apk", false, "No such file");
    adb.answerPrefix(prefix + L"push ", false, "adb: error: no space");
    const PhoneInfo info = run();
    EXPECT_TRUE(info.known);
    EXPECT_FALSE(info.hasEncoders);
    EXPECT_EQ(adb.count(probe), 0);
    EXPECT_NE(log().find("phone info: couldn't copy the helper"), std::string::npos);
}

}  // namespace
}  // namespace tov
