#include "update/version.h"

#include <gtest/gtest.h>

#include "update/release_notes.h"

namespace tov {
namespace {

TEST(Version, ComparesNumbersNotText) {
    EXPECT_EQ(compareVersions("v1.2.0", "1.2.0"), 0);
    EXPECT_EQ(compareVersions("V1.2.0", "v1.2.0"), 0);
    EXPECT_GT(compareVersions("1.10.0", "1.9.9"), 0);
    EXPECT_LT(compareVersions("1.9.9", "1.10.0"), 0);
    EXPECT_GT(compareVersions("2.0.0", "1.99.99"), 0);
    EXPECT_LT(compareVersions("1.1.0", "1.1.1"), 0);
    // Missing parts count as 0; reading stops at the first character that does not fit.
    EXPECT_EQ(compareVersions("1.2", "1.2.0"), 0);
    EXPECT_EQ(compareVersions("1", "v1.0.0"), 0);
    EXPECT_EQ(compareVersions("1.2.3.4", "1.2.3"), 0);
    EXPECT_EQ(compareVersions("1.2.0-beta", "1.2.0"), 0);
    EXPECT_EQ(compareVersions("1.x.5", "1.0.0"), 0);
    EXPECT_EQ(compareVersions("", "0.0.0"), 0);
    EXPECT_EQ(compareVersions("garbage", "v"), 0);
    // Only one "v" is dropped.
    EXPECT_EQ(compareVersions("vv2.0.0", "0.0.0"), 0);
}

TEST(Version, HugeNumbersStopAtTheLargestIntInsteadOfWrapping) {
    EXPECT_GT(compareVersions("99999999999999999999.0.0", "2147483646.0.0"), 0);
    EXPECT_EQ(compareVersions("99999999999999999999", "2147483647"), 0);
    EXPECT_GT(compareVersions("1.99999999999999999999", "1.5"), 0);
}

TEST(Version, OnlyDigitGroupsAreSafeForFileNames) {
    for (const char* good : {"1.2.0", "1", "10.0.1", "1.2.3.4"}) {
        EXPECT_TRUE(isPlainVersion(good)) << good;
    }
    for (const char* bad :
         {"", "v1.2.0", "1.2.0/../../x", "1.2.0\\..\\x", "..", "1..2", ".1", "1.2.", "1.2.0-beta",
          "1.2.0 ", "1.2.0\n", "1.2.0.exe", "C:1.2", "12345678901234567890123456789012"}) {
        EXPECT_FALSE(isPlainVersion(bad)) << bad;
    }
    EXPECT_TRUE(isPlainVersion(std::string(kMaxVersionLength, '1')));
}

TEST(ReleaseNotes, MarkdownBecomesPlainText) {
    EXPECT_EQ(simplifyReleaseNotes("## What's new\n- **Faster** start\n* Fixed a crash\n"
                                   "  ### Indented heading\n\tPlain line"),
              "What's new\n\xE2\x80\xA2  Faster start\n\xE2\x80\xA2  Fixed a crash\n"
              "Indented heading\nPlain line");
    // Trailing line ends go, blank lines inside stay.
    EXPECT_EQ(simplifyReleaseNotes("One\n\nTwo\n\n\n"), "One\n\nTwo");
    // A list mark needs its space; bold marks go anywhere in the line.
    EXPECT_EQ(simplifyReleaseNotes("-no bullet\n*emph*\na **b** c"), "-no bullet\n*emph*\na b c");
    // Spaces uncovered by removing marks at the front go too.
    EXPECT_EQ(simplifyReleaseNotes("#   Title\n** bold"), "Title\nbold");
    EXPECT_EQ(simplifyReleaseNotes(""), "");
    EXPECT_EQ(simplifyReleaseNotes("\n\n"), "");
    // Other bytes pass through untouched (UTF-8, carriage returns).
    EXPECT_EQ(simplifyReleaseNotes("- caf\xC3\xA9\r\nx"), "\xE2\x80\xA2  caf\xC3\xA9\r\nx");
}

}  // namespace
}  // namespace tov
