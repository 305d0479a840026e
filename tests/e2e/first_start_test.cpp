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
}

}  // namespace
}  // namespace tov::e2e
