// The Windows build of the check, under Wine, with the Windows adb stand-in, against the native
// simulator's default phone: every step passes, and the first key picture goes through Media
// Foundation.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tools/phonesim/control_client.h"

namespace tov::phonecheck {
namespace {

// docs/phone-app.md §What the check does
TEST(PhoneCheckUnderWine, TheWindowsCheckPassesTheDefaultPhoneAndDecodesItsFirstKeyPicture) {
    const std::wstring bin = widen(TOV_WIN_BIN_DIR);
    ASSERT_TRUE(isFile(bin + L"/tovenmar-phonecheck.exe"))
        << "build the Windows tree first: " << TOV_WIN_BIN_DIR << "/tovenmar-phonecheck.exe";
    ASSERT_TRUE(isFile(bin + L"/adb.exe"));
    phonesim::PhoneSimulator sim;
    std::string error;
    const std::string package = std::string(TOV_TEST_MEDIA_DIR) + "/phone-app-stand-in.apk";
    ASSERT_TRUE(sim.start("phone p usb=R58MWINE01 apk=\"" + package + "\" helper=\"" + package +
                              "\"\n",
                          &error))
        << error;
    std::string output;
    // Wine sees this machine's root as drive Z.
    const RunResult run = runCommand(
        L"/bin/sh \"" + bin + L"/../wine-run.sh\" \"" + bin +
            L"/tovenmar-phonecheck.exe\" --adb \"Z:" + bin + L"/adb.exe\" --serial R58MWINE01 "
            L"--no-input --seconds 1",
        &output, 240000);
    sim.stop();
    ASSERT_TRUE(run.started && run.exited) << output;
    EXPECT_EQ(run.exitCode, 0u) << output;
    EXPECT_NE(output.find("app stream: video configuration a decoder opens: ok (320x640 at 30 fps, "
                          "H.264, parameter sets read, Media Foundation decoded the first key "
                          "picture)"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("R58MWINE01: 25 steps, 24 passed, 0 failed, 1 skipped"), std::string::npos)
        << output;
}

}  // namespace
}  // namespace tov::phonecheck
