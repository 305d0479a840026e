#include <gtest/gtest.h>

#include "phone/adb_runner.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

const std::wstring kAdb = std::wstring(L"adb") + kExeSuffix;

// A folder tree with adb in the places the search looks at, and an environment that sees only
// the places a test asks for.
class FindAdbTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScopedEnv path{L"PATH", dir.file(L"empty-path")};
    test::ScopedEnv home{L"ANDROID_HOME", nullptr};
    test::ScopedEnv root{L"ANDROID_SDK_ROOT", nullptr};
    test::ScopedEnv local{L"LOCALAPPDATA", dir.file(L"local")};

    std::wstring makeAdbIn(const std::wstring& folder) {
        std::wstring current;
        // Create every level below the temporary folder.
        const std::wstring rel = folder.substr(dir.path().size() + 1);
        current = dir.path();
        size_t start = 0;
        while (start <= rel.size()) {
            size_t end = rel.find_first_of(L"\\/", start);
            if (end == std::wstring::npos) end = rel.size();
            current = joinPath(current, rel.substr(start, end - start));
            createDirectory(current);
            start = end + 1;
        }
        const std::wstring file = joinPath(folder, kAdb);
        EXPECT_TRUE(writeFile(file, "x"));
        return file;
    }
    std::wstring sdkAdb(const std::wstring& sdk) {
        return joinPath(joinPath(sdk, L"platform-tools"), kAdb);
    }
};

TEST_F(FindAdbTest, ProgramFolderWinsOverEverythingElse) {
    const std::wstring program = dir.file(L"program");
    const std::wstring own = makeAdbIn(program);
    const std::wstring onPath = makeAdbIn(dir.file(L"onpath"));
    makeAdbIn(joinPath(dir.file(L"sdk"), L"platform-tools"));
    test::ScopedEnv p(L"PATH", dir.file(L"onpath"));
    test::ScopedEnv h(L"ANDROID_HOME", dir.file(L"sdk"));
    EXPECT_EQ(findAdbFrom(program), own);
    EXPECT_EQ(findAdbFrom(dir.file(L"elsewhere")), onPath);
}

TEST_F(FindAdbTest, SdkVariablesFallThroughInOrder) {
    const std::wstring sdkRoot = makeAdbIn(joinPath(dir.file(L"sdkroot"), L"platform-tools"));
    const std::wstring localSdk = makeAdbIn(
        joinPath(joinPath(joinPath(dir.file(L"local"), L"Android"), L"Sdk"), L"platform-tools"));
    const std::wstring none = dir.file(L"nowhere");
    {
        // ANDROID_HOME without platform-tools falls through to ANDROID_SDK_ROOT.
        test::ScopedEnv h(L"ANDROID_HOME", dir.file(L"emptysdk"));
        test::ScopedEnv r(L"ANDROID_SDK_ROOT", dir.file(L"sdkroot"));
        EXPECT_EQ(findAdbFrom(none), sdkRoot);
    }
    {
        test::ScopedEnv h(L"ANDROID_HOME", dir.file(L"emptysdk"));
        EXPECT_EQ(findAdbFrom(none), localSdk);
    }
    {
        // Values of 260 characters or more are skipped.
        test::ScopedEnv h(L"ANDROID_HOME", std::wstring(300, L'x'));
        test::ScopedEnv r(L"ANDROID_SDK_ROOT", dir.file(L"sdkroot"));
        EXPECT_EQ(findAdbFrom(none), sdkRoot);
    }
}

TEST_F(FindAdbTest, HomeBeatsSdkRoot) {
    const std::wstring home = makeAdbIn(joinPath(dir.file(L"home"), L"platform-tools"));
    makeAdbIn(joinPath(dir.file(L"sdkroot"), L"platform-tools"));
    test::ScopedEnv h(L"ANDROID_HOME", dir.file(L"home"));
    test::ScopedEnv r(L"ANDROID_SDK_ROOT", dir.file(L"sdkroot"));
    EXPECT_EQ(findAdbFrom(dir.file(L"nowhere")), home);
}

TEST_F(FindAdbTest, NothingFoundIsEmpty) {
    EXPECT_EQ(findAdbFrom(dir.file(L"nowhere")), L"");
}

TEST_F(FindAdbTest, ADirectoryNamedAdbDoesNotCount) {
    const std::wstring program = dir.file(L"program");
    createDirectory(program);
    createDirectory(joinPath(program, kAdb));
    EXPECT_EQ(findAdbFrom(program), L"");
}

// The test child stands in for adb: "<bytes> <sleep ms> <exit code>".
const std::wstring kChild = test::siblingProgram(L"tov_test_child");

TEST(RunAdb, LongOutputIsCapturedWhole) {
    std::string out;
    EXPECT_TRUE(runAdb(kChild, L"9000 0 0", &out, 10000));
    EXPECT_EQ(out.size(), 9001u);
}

TEST(RunAdb, TimeOutFailsButKeepsThePartialOutput) {
    std::string out;
    // The limit leaves a loaded machine (and Wine's slow process start) time to print first.
    EXPECT_FALSE(runAdb(kChild, L"6 30000 0", &out, 5000));
    EXPECT_EQ(out, "012345|");
}

TEST(RunAdb, NonZeroExitFailsWithItsOutput) {
    std::string out;
    EXPECT_FALSE(runAdb(kChild, L"2 0 1", &out, 10000));
    EXPECT_EQ(out, "01|");
}

TEST(RunAdb, OutputIsOptional) { EXPECT_TRUE(runAdb(kChild, L"100 0 0", nullptr, 10000)); }

TEST(RunAdb, MissingAdbFailsAndLeavesOutputAsItWas) {
    std::string out = "before";
    EXPECT_FALSE(runAdb(test::siblingProgram(L"missing_adb"), L"devices -l", &out, 1000));
    EXPECT_EQ(out, "before");
}

TEST(StartAdb, StartsALongLivedCommand) {
    auto child = startAdb(kChild, L"100 20000 0");
    ASSERT_TRUE(child);
    EXPECT_TRUE(child->running());
    child->terminate();
    EXPECT_FALSE(child->running());
    EXPECT_FALSE(startAdb(test::siblingProgram(L"missing_adb"), L"shell"));
}

TEST(AdbPrefix, NamesTheSerial) {
    EXPECT_EQ(adbPrefix("R58M123"), L"-s R58M123 ");
    EXPECT_EQ(adbPrefix("192.168.1.5:5555"), L"-s 192.168.1.5:5555 ");
}

}  // namespace
}  // namespace tov
