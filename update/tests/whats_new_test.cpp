#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/paths.h"
#include "update/tests/update_test_env.h"
#include "update/updater.h"

namespace tov {
namespace {

class WhatsNewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* version : {"1.0.0", "1.0.5", "1.1.0", "1.2.0"}) {
            ASSERT_TRUE(
                writeFile(env.folder.notesFile(version), std::string("notes of ") + version));
        }
        ASSERT_TRUE(writeFile(joinPath(env.folder.path(), L"notes-bad.txt"), "bad"));
        ASSERT_TRUE(writeFile(joinPath(env.folder.path(), L"notes-1.0.7.md"), "not notes"));
        ASSERT_TRUE(writeFile(env.folder.readyFile(), "1.2.0"));
    }
    std::vector<std::wstring> files() {
        std::vector<std::wstring> names = listFiles(env.folder.path());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::UpdateTestEnv env;
    Updater updater{{}, env.options()};
};

TEST_F(WhatsNewTest, NotesAfterThePreviousVersionUpToThisOneNewestFirst) {
    EXPECT_EQ(updater.whatsNewText("1.0.0"),
              "Version 1.1.0\nnotes of 1.1.0\n\nVersion 1.0.5\nnotes of 1.0.5");
    EXPECT_EQ(updater.whatsNewText("v0.9"),
              "Version 1.1.0\nnotes of 1.1.0\n\nVersion 1.0.5\nnotes of 1.0.5\n\n"
              "Version 1.0.0\nnotes of 1.0.0");
    // One entry is its text alone.
    EXPECT_EQ(updater.whatsNewText("1.0.5"), "notes of 1.1.0");
    EXPECT_EQ(updater.whatsNewText("1.1.0"), "");
    EXPECT_EQ(updater.whatsNewText("2.0.0"), "");
}

TEST_F(WhatsNewTest, DroppingOldNotesKeepsNewerNotesAndOtherFiles) {
    updater.dropOldNotes();
    EXPECT_EQ(files(),
              (std::vector<std::wstring>{L"notes-1.0.7.md", L"notes-1.2.0.txt", L"ready.txt"}));
    EXPECT_EQ(updater.whatsNewText("1.0.0"), "");
}

TEST(UpdateFolder, NotesNamesAndUnsafeVersions) {
    EXPECT_EQ(UpdateFolder::notesVersion(L"notes-1.2.0.txt"), "1.2.0");
    EXPECT_EQ(UpdateFolder::notesVersion(L"notes-.txt"), "");
    EXPECT_EQ(UpdateFolder::notesVersion(L"notes-1.2.0.txt.bak"), "");
    EXPECT_EQ(UpdateFolder::notesVersion(L"Tovenmar-1.2.0.exe"), "");
    test::TempDir dir;
    test::ScopedEnv appData(L"LOCALAPPDATA", dir.path());
    UpdateFolder folder;
    EXPECT_EQ(folder.buildFile("1.2.0"),
              joinPath(joinPath(dir.file(L"Tovenmar"), L"update"), L"Tovenmar-1.2.0.exe"));
    EXPECT_TRUE(isDirectory(joinPath(dir.file(L"Tovenmar"), L"update")));
    for (const char* bad : {"../x", "1.2.0/../../x", "", "v1.2.0"}) {
        EXPECT_TRUE(folder.buildFile(bad).empty()) << bad;
        EXPECT_TRUE(folder.notesFile(bad).empty()) << bad;
        EXPECT_TRUE(folder.signatureFile(bad).empty()) << bad;
        EXPECT_TRUE(folder.partFile(bad).empty()) << bad;
    }
}

}  // namespace
}  // namespace tov
