// Self-update end to end: Tovenmar.exe 1.1.0 under Wine finds 1.2.0 in a local feed, downloads
// and verifies it, and "Restart now" puts 1.2.0 in its place; a staged update is installed at
// start before any panel opens, or rolled back when the program file cannot be replaced; a build
// whose signature fails is never staged. Both builds are the real program (the same objects,
// another version and the test key), signed by the native signing tool and checked by CNG.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"
#include "update/tests/local_http_server.h"
#include "update/tests/update_test_env.h"

namespace tov::e2e {
namespace {

using std::chrono::seconds;

constexpr const char* kUpdateCardFill = "#1C2638";
constexpr const char* kAccent = "#3D7EF0";
constexpr const char* kNotes = "## Tovenmar 1.2.0\n- **New:** it updates itself";

std::string fileBytes(const std::string& path) {
    std::string bytes;
    readFile(widen(path), bytes);
    return bytes;
}

// The native signing tool, as a release runs it; its output when it fails.
std::string runSignTool(const std::string& args) {
    std::string output;
    const RunResult result =
        runCommand(L"\"" + widen(TOV_SIGN_TOOL) + L"\" " + widen(args), &output, 60000);
    return result.started && result.exited && result.exitCode == 0 ? std::string() : output;
}

class UpdateE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        oldBuild_ = fileBytes(windowsProgram("Tovenmar-1.1.0-e2e.exe"));
        newBuild_ = fileBytes(windowsProgram("Tovenmar-1.2.0-e2e.exe"));
        ASSERT_FALSE(oldBuild_.empty()) << "build the Windows tree first";
        ASSERT_FALSE(newBuild_.empty()) << "build the Windows tree first";
        // The program lives where a user would put it, in a folder of its own on drive C.
        programFolder_ = wine_.driveC() + "/Tovenmar";
        removeTree(widen(programFolder_));
        ASSERT_TRUE(createDirectory(widen(programFolder_)));
        ASSERT_TRUE(writeFile(widen(exe()), oldBuild_));
        updateFolder_ = wine_.dataFolder() + "/update";
        createDirectory(widen(wine_.dataFolder()));
        createDirectory(widen(updateFolder_));
    }

    void TearDown() override { wine_.killAll(); }

    std::string exe() const { return programFolder_ + "/Tovenmar.exe"; }
    // Which build Tovenmar.exe is now.
    std::string installed() const {
        const std::string bytes = fileBytes(exe());
        if (bytes.empty()) return "missing";
        if (bytes == oldBuild_) return "1.1.0";
        return bytes == newBuild_ ? "1.2.0" : "something else";
    }
    std::string oldExe() const { return programFolder_ + "/Tovenmar.old.exe"; }
    std::string updateFile(const std::string& name) const { return updateFolder_ + "/" + name; }

    // The signature of `file` by the key pair `key` (its ".key" file), made by the native tool.
    std::string sign(const std::string& file, const std::string& key) {
        const std::string signature = narrow(scratch_.file(L"signature"));
        const std::string error =
            runSignTool("sign \"" + key + ".key\" \"" + file + "\" \"" + signature + "\"");
        EXPECT_EQ(error, "");
        return fileBytes(signature);
    }
    std::string testKey() const { return std::string(TOV_E2E_KEY_DIR) + "/e2e-test"; }

    // Leaves 1.2.0 downloaded and verified, as a finished download does.
    void stageNewVersion() {
        ASSERT_TRUE(writeFile(widen(updateFile("Tovenmar-1.2.0.exe")), newBuild_));
        const std::string signature = sign(updateFile("Tovenmar-1.2.0.exe"), testKey());
        ASSERT_EQ(signature.size(), 64u);
        ASSERT_TRUE(writeFile(widen(updateFile("Tovenmar-1.2.0.exe.sig")), signature));
        ASSERT_TRUE(writeFile(widen(updateFile("ready.txt")), "1.2.0"));
    }

    // Puts 1.2.0 on the local feed with a signature by `key`.
    void publishNewVersion(const std::string& key) {
        const std::string build = narrow(www_) + "/Tovenmar.exe";
        ASSERT_TRUE(writeFile(widen(build), newBuild_));
        const std::string signature = sign(build, key);
        ASSERT_EQ(signature.size(), 64u);
        ASSERT_TRUE(writeFile(widen(build + ".sig"), signature));
        test::FeedRelease release;
        release.tag = "v1.2.0";
        release.body = kNotes;
        release.assets = {{"Tovenmar.exe", server_.url("/Tovenmar.exe")},
                          {"Tovenmar.exe.sig", server_.url("/Tovenmar.exe.sig")}};
        ASSERT_TRUE(writeFile(widen(narrow(www_) + "/feed"), test::feedJson({release})));
    }

    void startProgram() {
        program_ = wine_.start(exe());
        ASSERT_TRUE(program_) << "could not start Wine";
    }
    // Holds a file open (no rename, no move) until the Wine processes are ended.
    void hold(const std::string& path) {
        const std::string output = "hold-file-output.txt";
        deleteFile(widen(artefactPath(output)));
        holder_ = wine_.start(windowsProgram("hold_file.exe"), "\"" + wine_.windowsPath(path) + "\"",
                              output);
        ASSERT_TRUE(holder_);
        ASSERT_TRUE(waitUntil(
            [&] { return fileBytes(artefactPath(output)).find("holding") != std::string::npos; },
            seconds(60)))
            << fileBytes(artefactPath(output));
    }

    std::string log() const { return wine_.readDataFile("tovenmar.log"); }
    size_t count(const std::string& text) const {
        const std::string all = log();
        size_t n = 0;
        for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
        return n;
    }
    bool waitForLog(const std::string& text, seconds limit) const {
        return waitUntil([&] { return count(text) > 0; }, limit);
    }
    // The panel of the program that has just started.
    bool waitForPanel() {
        return waitUntil([&] { return !(panel_ = findWindow("Tovenmar")).empty(); }, seconds(180));
    }
    // The sidebar's "Update ready" card is up: presses its "Restart now".
    bool pressRestartNow() {
        const std::string shot = artefactPath("update-ready.png");
        int button = -1;
        const bool shown = waitUntil(
            [&] {
                raise(panel_);
                if (!screenshot(panel_, shot)) return false;
                const int card = findColourInColumn(shot, 22, 200, 1000, kUpdateCardFill);
                if (card < 0) return false;
                button = findColourInColumn(shot, 87, card, card + 112, kAccent);
                return button >= 0;
            },
            seconds(30));
        if (!shown) return false;
        click(panel_, 87, button + 15);
        return true;
    }

    // The What's new notice is up: its "Got it" button, in the accent colour, at the right of the
    // card in the middle of the window (everything else lies dimmed under it).
    bool whatsNewShown(const std::string& name) {
        const std::string shot = artefactPath(name);
        int width = 0, height = 0;
        if (!screenshot(panel_, shot) || !windowSize(panel_, width, height)) return false;
        const int card = std::min(width - 80, 540);
        return findColourInColumn(shot, width / 2 + card / 2 - 83, 0, height, kAccent) >= 0;
    }

    static std::wstring madeFolder(const std::wstring& path) {
        createDirectory(path);
        return path;
    }

    test::TempDir scratch_;
    // What the local feed serves: "/feed", "/Tovenmar.exe" and "/Tovenmar.exe.sig".
    std::wstring www_ = madeFolder(scratch_.file(L"www"));
    test::LocalHttpServer server_{www_};
    WineSession wine_;
    std::string oldBuild_, newBuild_;
    std::string programFolder_, updateFolder_;
    std::unique_ptr<ChildProcess> program_, holder_;
    std::string panel_;
};

TEST_F(UpdateE2E, FindsVerifiesAndRestartsIntoTheNewVersion) {
    publishNewVersion(testKey());
    test::ScopedEnv feed(L"TOVENMAR_UPDATE_URL", widen(server_.url("/feed")));
    startProgram();
    ASSERT_TRUE(waitForLog("update: this is version 1.1.0", seconds(120))) << log();
    ASSERT_TRUE(waitForPanel()) << log();
    // The first check, 15 seconds after start, finds 1.2.0, fetches it and checks it (CNG
    // against the test key compiled into 1.1.0).
    ASSERT_TRUE(waitForLog("update: 1.2.0 is downloaded and checked", seconds(120))) << log();
    EXPECT_EQ(fileBytes(updateFile("ready.txt")), "1.2.0");
    EXPECT_TRUE(fileBytes(updateFile("Tovenmar-1.2.0.exe")) == newBuild_);

    // "Restart now" on the Update ready card: 1.1.0 ends, 1.2.0 takes its place and starts.
    ASSERT_TRUE(pressRestartNow()) << "no Update ready card: " << artefactPath("update-ready.png");
    for (int attempt = 0; attempt < 2 && !program_->wait(30000); ++attempt) {
        // A click that came while the program was busy can be lost.
        pressRestartNow();
    }
    ASSERT_FALSE(program_->running()) << "1.1.0 did not end after Restart now\n" << log();
    EXPECT_EQ(program_->exitCode(), 0);
    ASSERT_TRUE(waitForLog("update: this is version 1.2.0", seconds(120))) << log();
    EXPECT_EQ(installed(), "1.2.0");
    EXPECT_FALSE(isFile(widen(updateFile("ready.txt"))));
    EXPECT_FALSE(isFile(widen(updateFile("Tovenmar-1.2.0.exe"))));
    EXPECT_FALSE(isFile(widen(updateFile("Tovenmar-1.2.0.exe.sig"))));
    ASSERT_TRUE(waitForPanel()) << log();
    // What's new tells of 1.2.0 with the feed's notes, and the previous build is gone.
    ASSERT_TRUE(waitForLog("update: showing what's new since 1.1.0", seconds(60))) << log();
    EXPECT_TRUE(waitUntil([&] { return whatsNewShown("whats-new.png"); }, seconds(30)))
        << "no What's new notice: " << artefactPath("whats-new.png");
    EXPECT_EQ(fileBytes(updateFile("notes-1.2.0.txt")),
              "Tovenmar 1.2.0\n\u2022  New: it updates itself");
    EXPECT_TRUE(waitUntil([&] { return !isFile(widen(oldExe())); }, seconds(30)))
        << "Tovenmar.old.exe is still there";
    EXPECT_EQ(count("update: this is version"), 1u) << log();

    // "Got it" (Return on the notice) and the next start shows no What's new again.
    EXPECT_TRUE(waitUntil(
        [&] {
            typeKey(panel_, "Return");
            return waitUntil(
                [&] {
                    return wine_.readDataFile("settings.ini").find("seen=1.2.0") !=
                           std::string::npos;
                },
                seconds(10));
        },
        seconds(60)))
        << wine_.readDataFile("settings.ini");
    wine_.killAll();
    const int checks = server_.requestCount("/feed");
    startProgram();
    ASSERT_TRUE(waitForLog("update: this is version 1.2.0", seconds(120))) << log();
    ASSERT_TRUE(waitForPanel()) << log();
    // The updater starts after the What's new check: its first look at the feed ends the wait.
    ASSERT_TRUE(waitUntil([&] { return server_.requestCount("/feed") > checks; }, seconds(60)));
    EXPECT_EQ(count("what's new"), 0u) << log();
    EXPECT_FALSE(whatsNewShown("no-whats-new.png"));
    EXPECT_FALSE(isFile(widen(oldExe())));
}

TEST_F(UpdateE2E, ABuildWhoseSignatureFailsIsNeverStaged) {
    // Signed, but not with the key 1.1.0 trusts.
    const std::string otherKey = narrow(scratch_.path()) + "/other";
    ASSERT_EQ(runSignTool("keygen \"" + otherKey + ".key\" \"" + otherKey + ".pub\""), "");
    publishNewVersion(otherKey);
    test::ScopedEnv feed(L"TOVENMAR_UPDATE_URL", widen(server_.url("/feed")));
    startProgram();
    ASSERT_TRUE(waitForLog("update: 1.2.0 failed its signature check; deleted", seconds(150)))
        << log();
    EXPECT_FALSE(isFile(widen(updateFile("ready.txt"))));
    EXPECT_FALSE(isFile(widen(updateFile("Tovenmar-1.2.0.exe"))));
    EXPECT_FALSE(isFile(widen(updateFile("Tovenmar-1.2.0.exe.sig"))));
    EXPECT_TRUE(program_->running());
    EXPECT_EQ(installed(), "1.1.0");
    EXPECT_FALSE(findWindow("Tovenmar").empty());

    // A staged build changed on disk after its check is thrown away at start, not installed.
    wine_.killAll();
    stageNewVersion();
    ASSERT_TRUE(writeFile(widen(updateFile("Tovenmar-1.2.0.exe")), newBuild_ + "changed"));
    startProgram();
    ASSERT_TRUE(waitForLog("update: 1.2.0 no longer matches its signature; throwing it away",
                           seconds(120)))
        << log();
    ASSERT_TRUE(waitForPanel()) << log();
    EXPECT_TRUE(program_->running());
    EXPECT_EQ(count("update: this is version 1.1.0"), 1u) << log();
    EXPECT_EQ(installed(), "1.1.0");
    EXPECT_FALSE(isFile(widen(updateFile("ready.txt"))));
}

TEST_F(UpdateE2E, AStagedUpdateIsInstalledAtStartOrRolledBack) {
    stageNewVersion();

    // Another program holds Tovenmar.exe: it cannot be renamed aside, and 1.1.0 starts as it was.
    hold(exe());
    startProgram();
    ASSERT_TRUE(waitForLog("update: couldn't rename", seconds(120))) << log();
    ASSERT_TRUE(waitForPanel()) << log();
    EXPECT_TRUE(program_->running());
    EXPECT_EQ(count("update: this is version 1.1.0"), 1u) << log();
    EXPECT_NE(log().find("update: Windows wouldn't let Tovenmar replace its own file."),
              std::string::npos);
    EXPECT_EQ(installed(), "1.1.0");
    EXPECT_FALSE(isFile(widen(oldExe())));

    // The new build is held instead: 1.1.0 is renamed aside, the move fails, and it goes back.
    wine_.killAll();
    hold(updateFile("Tovenmar-1.2.0.exe"));
    startProgram();
    ASSERT_TRUE(waitForLog("update: couldn't move the new exe in", seconds(120))) << log();
    ASSERT_TRUE(waitForPanel()) << log();
    EXPECT_TRUE(program_->running());
    EXPECT_EQ(count("update: this is version 1.1.0"), 1u) << log();
    EXPECT_EQ(installed(), "1.1.0");
    EXPECT_FALSE(isFile(widen(oldExe())));
    EXPECT_EQ(fileBytes(updateFile("ready.txt")), "1.2.0");

    // Nothing in the way: the update is installed before 1.1.0 opens any window, and the process
    // that opens one is 1.2.0.
    wine_.killAll();
    startProgram();
    bool panelOfOld = false;
    ASSERT_TRUE(waitUntil(
        [&] {
            // On a busy machine 1.2.0 may show its panel before 1.1.0 has quite ended: a panel
            // is 1.1.0's only when 1.2.0 had not yet started (it logs its version before any
            // window), looked at after the window was seen.
            if (!findWindow("Tovenmar").empty() && program_->running() &&
                log().find("update: this is version 1.2.0") == std::string::npos) {
                panelOfOld = true;
            }
            return !program_->running();
        },
        seconds(120)))
        << log();
    EXPECT_FALSE(panelOfOld) << "a panel opened before the update was installed\n" << log();
    EXPECT_EQ(program_->exitCode(), 0);
    EXPECT_EQ(installed(), "1.2.0");
    ASSERT_TRUE(waitForLog("update: this is version 1.2.0", seconds(120))) << log();
    ASSERT_TRUE(waitForPanel()) << log();
    EXPECT_FALSE(isFile(widen(updateFile("ready.txt"))));
    EXPECT_TRUE(waitUntil([&] { return !isFile(widen(oldExe())); }, seconds(30)));
}

}  // namespace
}  // namespace tov::e2e
