#include <gtest/gtest.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <shlobj.h>
#endif

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/user_folders.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

TEST(Files, WriteReadMoveDelete) {
    test::TempDir dir;
    const std::wstring a = dir.file(L"a.bin"), b = dir.file(L"b \xE9.bin");
    const std::string data("x\0y\r\nz", 6);
    ASSERT_TRUE(writeFile(a, data));
    EXPECT_TRUE(isFile(a));
    EXPECT_FALSE(isDirectory(a));
    EXPECT_EQ(fileSize(a), 6);
    std::string back;
    ASSERT_TRUE(readFile(a, back));
    EXPECT_EQ(back, data);

    ASSERT_TRUE(writeFile(b, "old"));
    EXPECT_FALSE(moveFile(a, b, false));
    ASSERT_TRUE(moveFile(a, b, true));
    EXPECT_FALSE(isFile(a));
    ASSERT_TRUE(readFile(b, back));
    EXPECT_EQ(back, data);
    EXPECT_TRUE(deleteFile(b));
    EXPECT_FALSE(isFile(b));
    EXPECT_EQ(fileSize(b), -1);
}

TEST(Files, DirectoriesAreCreatedOnceAndRemovedWhole) {
    test::TempDir dir;
    const std::wstring sub = dir.file(L"sub");
    EXPECT_TRUE(createDirectory(sub));
    EXPECT_TRUE(createDirectory(sub));  // existing is no error
    EXPECT_TRUE(isDirectory(sub));
    EXPECT_FALSE(isFile(sub));
    ASSERT_TRUE(writeFile(joinPath(sub, L"f.txt"), "1"));
    EXPECT_TRUE(removeTree(sub));
    EXPECT_FALSE(isDirectory(sub));
}

TEST(Files, ListingNamesOnlyTheFilesDirectlyInTheFolder) {
    test::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file(L"a.txt"), "1"));
    ASSERT_TRUE(writeFile(dir.file(L"b \xE9.bin"), ""));
    ASSERT_TRUE(createDirectory(dir.file(L"sub")));
    ASSERT_TRUE(writeFile(joinPath(dir.file(L"sub"), L"inner.txt"), "2"));
    std::vector<std::wstring> names = listFiles(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a.txt", L"b \xE9.bin"}));
    EXPECT_TRUE(listFiles(dir.file(L"missing")).empty());
}

TEST(Files, SharedFileCanBeReadWhileOpen) {
    test::TempDir dir;
    const std::wstring path = dir.file(L"log.txt");
    FILE* f = openSharedFile(path, L"wt");
    ASSERT_NE(f, nullptr);
    std::fputs("line\n", f);
    std::fflush(f);
    std::string seen;
    EXPECT_TRUE(readFile(path, seen));  // another reader while the writer holds it
#ifdef _WIN32
    EXPECT_EQ(seen, "line\r\n");
#else
    EXPECT_EQ(seen, "line\n");
#endif
    std::fclose(f);
}

TEST(Paths, EnvironmentAndProgramFolder) {
    {
        test::ScopedEnv env(L"TOVENMAR_TEST_VAR", L"v\xE9");
        bool present = false;
        EXPECT_EQ(getEnv(L"TOVENMAR_TEST_VAR", &present), L"v\xE9");
        EXPECT_TRUE(present);
    }
    bool present = true;
    EXPECT_EQ(getEnv(L"TOVENMAR_TEST_VAR", &present), L"");
    EXPECT_FALSE(present);

    const std::wstring folder = exeFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.back() == L'\\' || folder.back() == L'/');
    EXPECT_TRUE(isFile(exePath()));
    EXPECT_TRUE(isDirectory(tempFolder()));
    EXPECT_EQ(joinPath(L"a", L"b"), std::wstring(L"a") + kPathSep + L"b");
    EXPECT_EQ(joinPath(L"a/", L"b"), L"a/b");
}

TEST(Paths, ProgramDataFolderNeedsAShortLocalAppData) {
    test::TempDir dir;
    {
        test::ScopedEnv env(L"LOCALAPPDATA", dir.path());
        const std::wstring folder = programDataFolder();
        EXPECT_EQ(folder, joinPath(dir.path(), L"Tovenmar"));
        EXPECT_TRUE(isDirectory(folder));
        EXPECT_EQ(programDataFile(L"settings.ini"), joinPath(folder, L"settings.ini"));
    }
    {
        test::ScopedEnv env(L"LOCALAPPDATA", nullptr);
        EXPECT_EQ(programDataFolder(), L"");
        EXPECT_EQ(programDataFile(L"settings.ini"), L"");
    }
    {
        test::ScopedEnv env(L"LOCALAPPDATA", std::wstring(260, L'x'));
        EXPECT_EQ(programDataFolder(), L"");
    }
}

#ifdef _WIN32
// An empty LOCALAPPDATA must not make the folder relative to the working directory: the shell's
// own local application data folder stands in.
TEST(Paths, AnEmptyLocalAppDataMeansTheUsersOwnFolder) {
    test::TempDir dir;
    wchar_t previous[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    PWSTR known = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)));
    const std::wstring expected = joinPath(known, L"Tovenmar");
    CoTaskMemFree(known);
    {
        test::ScopedEnv env(L"LOCALAPPDATA", L"");
        bool present = false;
        getEnv(L"LOCALAPPDATA", &present);
        ASSERT_TRUE(present);
        EXPECT_EQ(programDataFolder(), expected);
        EXPECT_EQ(programDataFile(L"tovenmar.log"), joinPath(expected, L"tovenmar.log"));
    }
    EXPECT_TRUE(isDirectory(expected));
    EXPECT_FALSE(isDirectory(dir.file(L"Tovenmar")));
    SetCurrentDirectoryW(previous);
}
#endif

TEST(Paths, SearchPathFindsAProgramOnPath) {
    test::TempDir dir;
    const std::wstring name = std::wstring(L"tovprobe") + kExeSuffix;
    ASSERT_TRUE(writeFile(dir.file(name), "x"));
    test::ScopedEnv env(L"PATH", dir.path());
    EXPECT_EQ(searchPath(name.c_str()), dir.file(name));
    EXPECT_EQ(searchPath(L"no-such-file-here.exe"), L"");
}

TEST(Paths, APhonesNameBecomesAFileNamePartWindowsAccepts) {
    EXPECT_EQ(fileNamePart("Pixel 7"), "Pixel 7");
    EXPECT_EQ(fileNamePart(" Work/Phone: \"A\"?*<>|\\ \t. "), "Work_Phone_ _A_______ _");
    EXPECT_EQ(fileNamePart("..."), "");
    // Cut at 64 bytes, never inside a character: 63 bytes of 'a' then a two-byte e-acute.
    const std::string cut = fileNamePart(std::string(63, 'a') + "\xC3\xA9x");
    EXPECT_EQ(cut, std::string(63, 'a'));
}

TEST(Clock, MicrosecondsAndTicksAdvanceTogether) {
    const int64_t us0 = nowMicros();
    const uint64_t ms0 = tickMs();
    sleepMs(50);
    const int64_t us = nowMicros() - us0;
    const uint64_t ms = tickMs() - ms0;
    EXPECT_GE(us, 45000);
    EXPECT_GE(ms, 30u);  // the tick count may step in 16 ms units
    EXPECT_LT(us, 5000000);
    const LocalTime t = localTime();
    EXPECT_TRUE(t.hour >= 0 && t.hour < 24 && t.millisecond >= 0 && t.millisecond < 1000);
}

}  // namespace
}  // namespace tov
