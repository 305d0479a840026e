#include "core/adb_forward.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace tov {
namespace {

// adb prints the port it chose for "forward tcp:0" on a line of its own; anything else is no port.
TEST(AdbForward, OnlyANumberAloneOnItsLineIsAPort) {
    EXPECT_EQ(adbPrintedPort("45123\n"), 45123);
    EXPECT_EQ(adbPrintedPort("45123\r\n"), 45123);
    EXPECT_EQ(adbPrintedPort("45123 \t\r\n\n"), 45123);
    EXPECT_EQ(adbPrintedPort("* daemon not running; starting now at tcp:5037\n"
                             "* daemon started successfully\n38211\n"),
              38211);
    EXPECT_EQ(adbPrintedPort("adb: error: cannot bind listener: unsupported local tcp:0\n"), 0);
    EXPECT_EQ(adbPrintedPort(""), 0);
    EXPECT_EQ(adbPrintedPort("0\n"), 0);
    EXPECT_EQ(adbPrintedPort("70000\n"), 0);
    EXPECT_EQ(adbPrintedPort("4512 3\n"), 0);
    EXPECT_EQ(adbPrintedPort("-4512\n"), 0);
    EXPECT_EQ(adbPrintedPort(std::string("45") + '\0' + "123\n"), 0);
}

// An adb that prints `answer` for "forward tcp:0" and fails whatever `failing` starts.
struct ScriptedAdb {
    std::string answer;
    std::string failing = "never";
    std::vector<std::string> commands;
    AdbForward::Run run() {
        return [this](const std::wstring& args, std::string* output) {
            const std::string command = narrow(args);
            commands.push_back(command);
            if (command.rfind(failing, 0) == 0) return false;
            if (output && command.find(" tcp:0 ") != std::string::npos) *output = answer;
            return true;
        };
    }
};

// A reconnect renews the same port; another phone or another service gets a forward of its own
// once the old one is removed, and a renewal that fails (the port went to someone else while
// the phone was away) takes a fresh port.
TEST(AdbForward, KeepsItsPortPerPhoneAndRemovesExactlyItsForward) {
    ScriptedAdb adb;
    adb.answer = "40001\r\n";
    AdbForward forward("test");
    EXPECT_EQ(forward.open(adb.run(), L"-s A ", 0, "tcp:27183"), 40001);
    EXPECT_EQ(forward.open(adb.run(), L"-s A ", 0, "tcp:27183"), 40001);
    adb.answer = "40002\n";
    EXPECT_EQ(forward.open(adb.run(), L"-s B ", 0, "tcp:27183"), 40002);
    adb.answer = "40003\n";
    adb.failing = "-s B forward tcp:40002";
    EXPECT_EQ(forward.open(adb.run(), L"-s B ", 0, "tcp:27183"), 40003);
    forward.remove(adb.run());
    forward.remove(adb.run());
    EXPECT_EQ(adb.commands, (std::vector<std::string>{
                                "-s A forward tcp:0 tcp:27183",
                                "-s A forward tcp:40001 tcp:27183",
                                "-s A forward --remove tcp:40001",
                                "-s B forward tcp:0 tcp:27183",
                                "-s B forward tcp:40002 tcp:27183",
                                "-s B forward --remove tcp:40002",
                                "-s B forward tcp:0 tcp:27183",
                                "-s B forward --remove tcp:40003",
                            }));
    EXPECT_EQ(forward.port(), 0);
}

}  // namespace
}  // namespace tov
