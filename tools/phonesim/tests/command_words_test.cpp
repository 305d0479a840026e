#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/adb_args.h"
#include "tools/phonesim/daemon_link.h"
#include "tools/phonesim/shell_words.h"

namespace tov::phonesim {
namespace {

// What adb receives from a Windows command line (the same splitting on both systems).
std::vector<std::string> argv(const std::wstring& line) {
    std::vector<std::string> out;
    for (const std::wstring& w : splitCommandLine(L"adb " + line)) out.push_back(narrow(w));
    out.erase(out.begin());
    return out;
}

TEST(AdbArgs, IdentityQueryReachesThePhoneShellAsThreeCommands) {
    const AdbArgs a = parseAdbArgs(
        argv(L"-s R58M  shell \"getprop ro.serialno; getprop ro.product.manufacturer; getprop "
             L"ro.product.model\""));
    EXPECT_EQ(a.serial, "R58M");
    EXPECT_EQ(a.command, "shell");
    const std::vector<ShellCommand> cmds = parseShellText(shellText(a.words));
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(cmds[2].words, (std::vector<std::string>{"getprop", "ro.product.model"}));
}

TEST(AdbArgs, HelperRunKeepsItsClassPathAssignment) {
    const AdbArgs a =
        parseAdbArgs(argv(L"-s X shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
                          L"com.tovenmar.app.input.InputServer"));
    const std::vector<ShellCommand> cmds = parseShellText(shellText(a.words));
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].env.at("CLASSPATH"), "/data/local/tmp/tovenmar.apk");
    EXPECT_EQ(cmds[0].words,
              (std::vector<std::string>{"app_process", "/", "com.tovenmar.app.input.InputServer"}));
}

TEST(AdbArgs, LocalFilesOfPushAndInstall) {
    EXPECT_EQ(localFileArgument(argv(L"-s X install -r \"C:\\Temp\\Tovenmar\\tovenmar.apk\"")),
              "C:\\Temp\\Tovenmar\\tovenmar.apk");
    EXPECT_EQ(localFileArgument(argv(L"-s X push \"C:\\a b\\t.apk\" /data/local/tmp/tovenmar.apk")),
              "C:\\a b\\t.apk");
    EXPECT_EQ(localFileArgument(argv(L"-s X shell sha256sum /x")), "");
    EXPECT_EQ(localFileArgument(argv(L"devices -l")), "");
}

TEST(AdbArgs, MissingSerialOrCommandIsAUsageError) {
    EXPECT_FALSE(parseAdbArgs(argv(L"-s")).error.empty());
    EXPECT_FALSE(parseAdbArgs({}).error.empty());
    const AdbArgs a = parseAdbArgs(argv(L"devices -l"));
    EXPECT_TRUE(a.error.empty());
    EXPECT_EQ(a.command, "devices");
    EXPECT_EQ(a.words, std::vector<std::string>{"-l"});
}

TEST(ShellWords, QuotesEscapesAndSeparators) {
    const std::vector<ShellCommand> cmds =
        parseShellText("echo 'a;b' \"c \\\"d\\\"\" e\\ f; ; pkill -f x");
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].words, (std::vector<std::string>{"echo", "a;b", "c \"d\"", "e f"}));
    EXPECT_EQ(cmds[1].words, (std::vector<std::string>{"pkill", "-f", "x"}));
    EXPECT_EQ(splitWords("phone p info.encoders=a:b;c:d 'x y'"),
              (std::vector<std::string>{"phone", "p", "info.encoders=a:b;c:d", "x y"}));
    EXPECT_EQ(splitWords("''"), std::vector<std::string>{""});
}

TEST(DaemonLink, ArgumentsSurviveTheTripIncludingEmptyOnes) {
    const std::vector<std::string> args{"-s", "", "shell", "a b", ""};
    EXPECT_EQ(splitArguments(joinArguments(args)), args);
    EXPECT_TRUE(splitArguments("").empty());
}

TEST(DaemonLink, PortTexts) {
    EXPECT_EQ(parsePort("5037"), 5037);
    EXPECT_EQ(parsePort(" 5037\r\n"), 5037);
    EXPECT_EQ(parsePort("0"), 0);
    EXPECT_EQ(parsePort("65536"), 0);
    EXPECT_EQ(parsePort("12x"), 0);
    EXPECT_EQ(parsePort(""), 0);
    EXPECT_EQ(parsePort("9999999"), 0);
}

TEST(DaemonLink, PortFromTheEnvironmentElseFromTheFileBesideTheProgram) {
    tov::test::TempDir dir;
    {
        tov::test::ScopedEnv unset(kPortVariable, nullptr);
        EXPECT_EQ(findDaemonPort(dir.path()), 0);
        ASSERT_TRUE(writeFile(dir.file(kPortFileName), "41234\n"));
        EXPECT_EQ(findDaemonPort(dir.path()), 41234);
    }
    tov::test::ScopedEnv set(kPortVariable, L"5038");
    EXPECT_EQ(findDaemonPort(dir.path()), 5038);
}

TEST(DaemonLink, NoDaemonMeansNoAnswer) {
    auto listener = TcpListener::listenLoopback(0);
    ASSERT_TRUE(listener);
    const uint16_t port = listener->port();
    listener.reset();  // nothing listens there any more
    EXPECT_EQ(exchange(port, {{LinkMessage::AdbCommand, "devices"}}).exitCode, -1);
}

}  // namespace
}  // namespace tov::phonesim
