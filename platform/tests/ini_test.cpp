// The same expectations hold for the POSIX reader and, under Wine, for the real Windows
// private-profile functions.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/ini.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

class IniTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::wstring path = dir.file(L"settings.ini");
    void write(const std::string& text) { ASSERT_TRUE(writeFile(path, text)); }
    std::string contents() { return test::readTextFile(path); }
};

TEST_F(IniTest, MissingFileOrKeyGivesTheDefault) {
    EXPECT_EQ(ini::getInt(path, L"stream", L"bitrate", 40000000), 40000000);
    EXPECT_EQ(ini::getString(path, L"stream", L"preset", L"sharp", 32), L"sharp");
    write("[stream]\r\nvideo=1\r\n");
    EXPECT_EQ(ini::getInt(path, L"stream", L"audio", 7), 7);
    EXPECT_EQ(ini::getInt(path, L"other", L"video", 7), 7);
    EXPECT_EQ(ini::getInt(path, L"stream", L"video", 7), 1);
}

TEST_F(IniTest, IntegersFollowTheProfileParse) {
    write("[n]\r\nplain=42\r\nneg=-17\r\nword=abc\r\ntail=12abc\r\n");
    EXPECT_EQ(ini::getInt(path, L"n", L"plain", 0), 42);
    EXPECT_EQ(ini::getInt(path, L"n", L"neg", 0), -17);
    EXPECT_EQ(ini::getInt(path, L"n", L"word", 5), 0);  // unreadable number gives 0
    EXPECT_EQ(ini::getInt(path, L"n", L"tail", 0), 12);
}

TEST_F(IniTest, NamesMatchWithoutCaseAndValuesAreTrimmed) {
    write("[Stream]\r\nPreset =  smooth  \r\n");
    EXPECT_EQ(ini::getString(path, L"stream", L"preset", L"", 32), L"smooth");
    EXPECT_EQ(ini::getString(path, L"STREAM", L"PRESET", L"", 32), L"smooth");
}

TEST_F(IniTest, StringsAreCutToTheBuffer) {
    write("[s]\r\nk=abcdefgh\r\n");
    EXPECT_EQ(ini::getString(path, L"s", L"k", L"", 5), L"abcd");
}

TEST_F(IniTest, WritesKeepOtherLinesAndReplaceValues) {
    write("; a comment\r\n[stream]\r\nvideo=1\r\nextra=keep\r\n[phone]\r\npinned=x\r\n");
    ASSERT_TRUE(ini::writeString(path, L"stream", L"video", L"0"));
    ASSERT_TRUE(ini::writeString(path, L"stream", L"audio", L"1"));
    ASSERT_TRUE(ini::writeString(path, L"noapp", L"on", L"1"));
    EXPECT_EQ(ini::getInt(path, L"stream", L"video", 9), 0);
    EXPECT_EQ(ini::getInt(path, L"stream", L"audio", 9), 1);
    EXPECT_EQ(ini::getString(path, L"stream", L"extra", L"", 32), L"keep");
    EXPECT_EQ(ini::getString(path, L"phone", L"pinned", L"", 32), L"x");
    EXPECT_EQ(ini::getInt(path, L"noapp", L"on", 9), 1);
    EXPECT_NE(contents().find("; a comment"), std::string::npos);
}

TEST_F(IniTest, EmptyValueKeepsTheKey) {
    ASSERT_TRUE(ini::writeString(path, L"stream", L"encoder", L""));
    EXPECT_EQ(ini::getString(path, L"stream", L"encoder", L"dflt", 32), L"");
}

TEST_F(IniTest, NullValueDeletesKeyAndNullKeyDeletesSection) {
    write("[input]\r\nmode=1\r\ndevice=0\r\n[game]\r\nx=1\r\ny=2\r\n[clipboard]\r\ntopc=1\r\n");
    ASSERT_TRUE(ini::writeString(path, L"input", L"mode", nullptr));
    EXPECT_EQ(ini::getInt(path, L"input", L"mode", -1), -1);
    EXPECT_EQ(ini::getInt(path, L"input", L"device", -1), 0);
    ini::writeString(path, L"game", nullptr, nullptr);
    EXPECT_EQ(ini::getInt(path, L"game", L"x", -1), -1);
    EXPECT_EQ(contents().find("[game]"), std::string::npos);
    EXPECT_EQ(ini::getInt(path, L"clipboard", L"topc", -1), 1);
    // Deleting what is not there is harmless.
    ini::writeString(path, L"nothere", L"k", nullptr);
    ini::writeString(path, L"nothere", nullptr, nullptr);
    EXPECT_EQ(ini::getInt(path, L"clipboard", L"topc", -1), 1);
}

// Phone names come in any script; the file keeps them whole, a new file and one written by
// hand (or by an older version) alike.
TEST_F(IniTest, TextsBeyondTheCodePageReadBackWhole) {
    const std::wstring name = L"Xiaomi \u7ea2\u7c73 \u00e9t\u00e9";
    ASSERT_TRUE(ini::writeString(path, L"wifiphones", L"name1", name.c_str()));
    EXPECT_EQ(ini::getString(path, L"wifiphones", L"name1", L"", 128), name);

    const std::wstring other = dir.file(L"older.ini");
    ASSERT_TRUE(writeFile(other, "; by hand\r\n[stream]\r\npreset=sharp\r\n"));
    ASSERT_TRUE(ini::writeString(other, L"phone", L"pinnedname", name.c_str()));
    EXPECT_EQ(ini::getString(other, L"phone", L"pinnedname", L"", 128), name);
    EXPECT_EQ(ini::getString(other, L"stream", L"preset", L"", 32), L"sharp");
    EXPECT_NE(test::readTextFile(other).find("; by hand"), std::string::npos);
}

TEST_F(IniTest, EmptyPathActsAsNoFile) {
    EXPECT_EQ(ini::getInt(L"", L"a", L"b", 3), 3);
    EXPECT_EQ(ini::getString(L"", L"a", L"b", L"dflt", 32), L"dflt");
    EXPECT_FALSE(ini::writeString(L"", L"a", L"b", L"c"));
}

}  // namespace
}  // namespace tov
