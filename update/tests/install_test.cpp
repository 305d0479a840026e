#include <gtest/gtest.h>

#include "core/log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "update/tests/update_test_env.h"
#include "update/updater.h"

namespace tov {
namespace {

// The system's calls, with one step made to fail as a locked or protected folder would.
class FailingOps : public InstallOps {
  public:
    unsigned long failRename = 0, failMoveIn = 0;
    unsigned long rename(const std::wstring& from, const std::wstring& to) override {
        if (failRename && to.find(L"Tovenmar.old.exe") != std::wstring::npos) return failRename;
        return system->rename(from, to);
    }
    unsigned long moveIn(const std::wstring& from, const std::wstring& to) override {
        return failMoveIn ? failMoveIn : system->moveIn(from, to);
    }
    unsigned long start(const std::wstring& program) override { return system->start(program); }
    std::unique_ptr<InstallOps> system = makeSystemInstallOps();
};

class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(readFile(test::siblingProgram(L"update_fake_build"), oldBuild));
        ASSERT_FALSE(oldBuild.empty());
        // Bytes after the program's end change the file, not what it does.
        newBuild = oldBuild + "\nnew build 1.2.0\n";
        ASSERT_TRUE(writeFile(env.exePath(), oldBuild));
    }

    std::string file(const std::wstring& path) { return env.readUpdateFile(path); }
    bool logHas(const std::string& line) { return env.logText().find(line) != std::string::npos; }
    // The fake build writes one whole line when it runs.
    bool started() {
        return test::waitFor([&] {
            const std::string text = file(markPath);
            return !text.empty() && text.back() == '\n';
        });
    }
    std::wstring oldPath() { return joinPath(env.appFolder(), L"Tovenmar.old.exe"); }

    test::UpdateTestEnv env;
    std::wstring markPath = env.dir.file(L"started.txt");
    test::ScopedEnv mark{L"TOV_FAKE_BUILD_MARK", markPath};
    std::string oldBuild, newBuild;
};

TEST_F(InstallTest, AtStartTheReadyBuildIsSwappedInAndStarted) {
    env.stageReady("1.2.0", newBuild);
    Updater updater({}, env.options());
    updater.removeOldBuild();
    ASSERT_TRUE(updater.installReadyAtStart());
    ASSERT_TRUE(started());
    EXPECT_NE(file(markPath).find("Tovenmar"), std::string::npos);
    EXPECT_EQ(file(env.exePath()), newBuild);
    EXPECT_EQ(file(oldPath()), oldBuild);
    EXPECT_FALSE(isFile(env.folder.readyFile()));
    EXPECT_FALSE(isFile(env.folder.signatureFile("1.2.0")));
    EXPECT_FALSE(isFile(env.folder.buildFile("1.2.0")));
    EXPECT_TRUE(logHas("update: installed 1.2.0, starting it"));

    // The next start clears the old build away, and finds nothing more to install.
    test::waitFor([&] { return updater.removeOldBuild(), !isFile(oldPath()); });
    EXPECT_FALSE(isFile(oldPath()));
    EXPECT_FALSE(updater.installReadyAtStart());
}

TEST_F(InstallTest, ABuildChangedAfterItsDownloadIsThrownAway) {
    env.stageReady("1.2.0", newBuild);
    std::string changed = newBuild;
    changed[changed.size() / 2] ^= 0x20;
    ASSERT_TRUE(writeFile(env.folder.buildFile("1.2.0"), changed));
    Updater updater({}, env.options());
    EXPECT_FALSE(updater.installReadyAtStart());
    EXPECT_TRUE(logHas("update: 1.2.0 no longer matches its signature; throwing it away"));
    EXPECT_FALSE(isFile(env.folder.readyFile()));
    EXPECT_EQ(file(env.exePath()), oldBuild);
    EXPECT_FALSE(isFile(oldPath()));

    // A missing signature file is the same.
    env.stageReady("1.3.0", newBuild);
    ASSERT_TRUE(deleteFile(env.folder.signatureFile("1.3.0")));
    std::string message;
    EXPECT_FALSE(updater.installReadyAtExit(message));
    EXPECT_EQ(message, "The downloaded update had gone missing, so Tovenmar stayed as it was.");
    EXPECT_TRUE(logHas("update: 1.3.0 no longer matches its signature; throwing it away"));
    EXPECT_FALSE(isFile(markPath));
}

TEST_F(InstallTest, ANewBuildThatWillNotStartIsRolledBack) {
    env.stageReady("1.2.0", "this is not a program at all");
    Updater updater({}, env.options());
    EXPECT_FALSE(updater.installReadyAtStart());
    EXPECT_EQ(file(env.exePath()), oldBuild);
    EXPECT_FALSE(isFile(oldPath()));
    EXPECT_TRUE(logHas("update: the new exe wouldn't start ("));
    EXPECT_TRUE(logHas("); putting the old one back"));
    EXPECT_TRUE(logHas(
        "update: The new version wouldn't start, so Tovenmar went back to the one you had."));
    // Nothing stays ready, so the next start does not try again.
    EXPECT_FALSE(isFile(env.folder.readyFile()));
    EXPECT_FALSE(updater.installReadyAtStart());
    // The old build still runs.
    ASSERT_TRUE(updater.startAgain());
    EXPECT_TRUE(started());
}

TEST_F(InstallTest, AReadyFileNamingNoNewerPlainVersionIsIgnored) {
    env.stageReady("1.2.0", newBuild);
    Updater updater({}, env.options());
    for (const char* ready :
         {"1.1.0", "v1.1.0", "1.0.9\r\n", "", "  ", "1.2.0/../../../app/x", "v1.2.0"}) {
        SCOPED_TRACE(ready);
        ASSERT_TRUE(writeFile(env.folder.readyFile(), ready));
        EXPECT_FALSE(updater.installReadyAtStart());
        EXPECT_EQ(file(env.folder.readyFile()), ready);  // left alone
        EXPECT_EQ(file(env.exePath()), oldBuild);
    }
    EXPECT_FALSE(logHas("no longer matches"));
    EXPECT_FALSE(isFile(markPath));

    // Trailing line ends and spaces are not part of the version.
    ASSERT_TRUE(writeFile(env.folder.readyFile(), "1.2.0 \r\n"));
    std::string message;
    EXPECT_TRUE(updater.installReadyAtExit(message));
    EXPECT_TRUE(started());
}

TEST_F(InstallTest, FailedSwapStepsPutTheOldBuildBack) {
    auto ops = std::make_shared<FailingOps>();
    UpdaterOptions options = env.options();
    options.installOps = ops;
    Updater updater({}, options);
    env.stageReady("1.2.0", newBuild);

    ops->failRename = 5;
    std::string message;
    EXPECT_FALSE(updater.installReadyAtExit(message));
    EXPECT_EQ(message,
              "Windows wouldn't let Tovenmar replace its own file. If it's in a protected folder "
              "like Program Files, move it somewhere like your Documents folder.");
    EXPECT_TRUE(logHas("update: couldn't rename " + narrow(env.exePath()) + " (5)"));
    EXPECT_EQ(file(env.exePath()), oldBuild);
    EXPECT_EQ(file(env.folder.readyFile()), "1.2.0");  // still ready for the next start

    ops->failRename = 0;
    ops->failMoveIn = 32;
    EXPECT_FALSE(updater.installReadyAtExit(message));
    EXPECT_EQ(message, "The new version couldn't be put in place, so Tovenmar stayed as it was.");
    EXPECT_TRUE(logHas("update: couldn't move the new exe in (32)"));
    EXPECT_EQ(file(env.exePath()), oldBuild);
    EXPECT_FALSE(isFile(oldPath()));
    EXPECT_FALSE(isFile(markPath));
}

}  // namespace
}  // namespace tov
