#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"

namespace tov::e2e {
namespace {

TEST(FirstStart, TheLogBeginsWithTheStartLine) {
    WineSession wine;
    auto program = wine.start(windowsProgram("Tovenmar.exe"));
    ASSERT_TRUE(program) << "could not start Wine";
    ASSERT_TRUE(waitUntil([&] { return !wine.readDataFile("tovenmar.log").empty(); },
                          std::chrono::seconds(60)));
    const std::string log = wine.readDataFile("tovenmar.log");
    // "HH:MM:SS.mmm  Tovenmar starting" on the first line.
    ASSERT_GE(log.size(), 31u);
    EXPECT_EQ(log.substr(12, 19), "  Tovenmar starting");
    EXPECT_EQ(log[2], ':');
    EXPECT_EQ(log[8], '.');

    // The first start writes settings.ini with the defaults and this version as seen (so no
    // What's new notice).
    // Read until one read holds the whole save that follows the version check (matchphone is a
    // save's last key; the save before it, from the input settings, still has seen empty).
    std::string settings;
    ASSERT_TRUE(waitUntil(
        [&] {
            settings = wine.readDataFile("settings.ini");
            return settings.find("seen=1.1.0") != std::string::npos &&
                   settings.find("matchphone=") != std::string::npos;
        },
        std::chrono::seconds(120)));
    for (const char* line :
         {"[stream]",    "video=1",     "audio=1", "preset=sharp", "bitrate=40000000",
          "codec=auto",  "vbr=1",       "[input]", "keyboard=1",   "mouse=1",
          "[clipboard]", "tophone=1",   "topc=1",  "pictures=0",   "passwords=0",
          "[phone]",     "preferusb=1", "wifi=0",  "[update]",     "auto=1",
          "seen=1.1.0",  "[noapp]",     "fps=60",  "mbps=40",      "keyframe=10"}) {
        EXPECT_NE(settings.find(line), std::string::npos) << line << " missing in:\n" << settings;
    }
    wine.killAll();
}

}  // namespace
}  // namespace tov::e2e
