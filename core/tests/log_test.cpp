#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

#include "core/log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

#ifdef _WIN32
const std::string kEol = "\r\n";
#else
const std::string kEol = "\n";
#endif

class LogTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    std::wstring logPath() { return joinPath(joinPath(dir.path(), L"Tovenmar"), L"tovenmar.log"); }
    std::string contents() {
        std::string s;
        readFile(logPath(), s);
        return s;
    }
};

TEST_F(LogTest, LinesCarryTheTimePrefixAndTheFormattedMessage) {
    openLog();
    logLine("Tovenmar starting");
    logLine("phones: using %s (%d)", "Pixel", 7);
    const std::string text = contents();
    const std::regex line("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  ([^\\r\\n]*)\\r?\\n");
    std::vector<std::string> messages;
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        messages.push_back((*it)[1]);
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Tovenmar starting");
    EXPECT_EQ(messages[1], "phones: using Pixel (7)");
    EXPECT_NE(text.find("starting" + kEol), std::string::npos);
}

TEST_F(LogTest, EachRunStartsANewFile) {
    openLog();
    logLine("first run");
    openLog();
    logLine("second run");
    const std::string text = contents();
    EXPECT_EQ(text.find("first run"), std::string::npos);
    EXPECT_NE(text.find("second run"), std::string::npos);
}

TEST_F(LogTest, EmbeddedLineFeedIsWrittenAsItIs) {
    openLog();
    logLine("a\nb");
    const std::string text = contents();
    EXPECT_NE(text.find("a" + kEol + "b" + kEol), std::string::npos);
}

TEST_F(LogTest, WideStringsAndSizes) {
    openLog();
    logLine("update: %ls %zu", L"Tovenmar.exe", static_cast<size_t>(12345678901ull));
    EXPECT_NE(contents().find("update: Tovenmar.exe 12345678901"), std::string::npos);
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
    openLog();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) logLine("thread %d line %d %s", t, i, "xxxxxxxxxxxxxxxx");
        });
    }
    for (auto& th : threads) th.join();
    const std::string text = contents();
    const std::regex line("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  thread \\d line \\d+ x{16}\\r?\\n");
    const auto count = std::distance(std::sregex_iterator(text.begin(), text.end(), line),
                                     std::sregex_iterator());
    EXPECT_EQ(count, 800);
}

TEST_F(LogTest, AReaderHoldingTheFileDoesNotStopWrites) {
    openLog();
    logLine("before");
    FILE* reader = openSharedFile(logPath(), L"rb");
    ASSERT_NE(reader, nullptr);
    logLine("while open");
    std::fclose(reader);
    EXPECT_NE(contents().find("while open"), std::string::npos);
}

// A run without LOCALAPPDATA keeps no log: nothing lands relative to the working folder, and
// lines do not go on into a log opened before (an earlier run's, in this test program).
TEST(LogWithoutFolder, NoLocalAppDataMeansNoLogAndNoFailure) {
    test::TempDir earlier;
    {
        test::ScopedEnv env(L"LOCALAPPDATA", earlier.path());
        openLog();
        logLine("earlier run");
    }
    test::TempDir workingFolder;
    const std::filesystem::path oldWorkingFolder = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(workingFolder.path()));
    {
        test::ScopedEnv env(L"LOCALAPPDATA", nullptr);
        openLog();
        logLine("lost %d", 1);  // must simply do nothing
    }
    std::filesystem::current_path(oldWorkingFolder);
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(workingFolder.path())));
    std::string text;
    ASSERT_TRUE(readFile(joinPath(joinPath(earlier.path(), L"Tovenmar"), L"tovenmar.log"), text));
    EXPECT_NE(text.find("earlier run"), std::string::npos);
    EXPECT_EQ(text.find("lost"), std::string::npos) << text;
}

}  // namespace
}  // namespace tov
