#include "phone/app_installer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/log.h"
#include "platform/sha256.h"
#include "phone/tests/fake_adb.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

// docs/phone-app.md §The package
TEST(InstallerText, PackagePathChecksumAndOutcomeRules) {
    EXPECT_EQ(installedPackagePath("package:/data/app/~~x==/com.tovenmar.app-1/base.apk\n"),
              "/data/app/~~x==/com.tovenmar.app-1/base.apk");
    EXPECT_EQ(installedPackagePath("package:/a/base.apk\r\npackage:/a/split_config.apk\r\n"),
              "/a/base.apk");
    EXPECT_EQ(installedPackagePath(""), "");
    EXPECT_EQ(installedPackagePath("package"), "");
    EXPECT_EQ(installedPackagePath("Error: package not found"), "");

    const std::string digest(64, 'a');
    EXPECT_EQ(checksumDigest(true, digest + "  /data/local/tmp/tovenmar.apk\n"), digest);
    EXPECT_EQ(checksumDigest(false, digest + "  x\n"), "");
    EXPECT_EQ(checksumDigest(true, digest.substr(1)), "");
    EXPECT_EQ(checksumDigest(true,
                             "sha256sum: /data/local/tmp/tovenmar.apk: No such file or "
                             "directory\n"),
              "");

    EXPECT_EQ(classifyInstallOutput("Performing Streamed Install\nSuccess", 2).kind, 2);
    const InstallOutcome storage = classifyInstallOutput(
        "adb: failed to install x.apk: Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE: full]", 1);
    EXPECT_EQ(storage.kind, 5);
    EXPECT_EQ(installStatusText(storage),
              "Couldn't install Tovenmar on your phone ([INSTALL_FAILED_INSUFFICIENT_STORAGE: "
              "full]).");
    EXPECT_EQ(installStatusText(classifyInstallOutput("error: device offline", 1)),
              "Couldn't install Tovenmar on your phone (error: device offline).");
    EXPECT_EQ(installStatusText(classifyInstallOutput("", 1)),
              "Couldn't install Tovenmar on your phone ().");
    EXPECT_EQ(installStatusText({0, ""}), "");
    EXPECT_EQ(installStatusText({1, ""}), "Installed Tovenmar on your phone.");
    EXPECT_EQ(installStatusText({2, ""}), "Updated Tovenmar on your phone.");
}

// The installer against a scripted phone "-s P ".
class InstallerTest : public ::testing::Test {
  protected:
    const std::string package = "PK\x03\x04 the phone app";
    const std::string digest = sha256Hex(package);
    const std::wstring prefix = L"-s P ";
    test::TempDir dir;
    test::FakeAdb adb;
    std::unique_ptr<AppInstaller> installer;
    std::vector<std::string> progress;

    void SetUp() override { make(package); }
    void make(const std::string& bytes, std::wstring folder = {}) {
        AppInstaller::Options options;
        options.runAdb = adb.runner();
        options.loadPackage = [bytes] { return bytes; };
        options.copyFolder = folder.empty() ? dir.file(L"Tovenmar") : folder;
        installer = std::make_unique<AppInstaller>(options);
    }
    std::wstring localPath() { return joinPath(dir.file(L"Tovenmar"), L"tovenmar.apk"); }
    std::wstring installArgs() { return prefix + L"install -r \"" + localPath() + L"\""; }
    void installed(const std::string& phoneDigest) {
        adb.answer(prefix + L"shell pm path com.tovenmar.app", true, "package:/data/app/b.apk\n");
        adb.answer(prefix + L"shell sha256sum /data/app/b.apk", true,
                   phoneDigest + "  /data/app/b.apk\n");
    }
    void notInstalled() { adb.answer(prefix + L"shell pm path com.tovenmar.app", false, ""); }
    InstallOutcome ensure() {
        return installer->ensureApp(L"adb", prefix,
                                    [this](const std::string& t) { progress.push_back(t); });
    }
    int grants() { return adb.countPrefix(prefix + L"shell pm grant com.tovenmar.app "); }
};

TEST_F(InstallerTest, ACurrentAppOnlyCostsThePathQueryAndTheChecksum) {
    installed(digest);
    const InstallOutcome o = ensure();
    EXPECT_EQ(o.kind, 0);
    EXPECT_EQ(adb.calls().size(), 2u);
    EXPECT_TRUE(progress.empty());
    EXPECT_FALSE(isFile(localPath()));
    EXPECT_EQ(adb.timeouts(), (std::vector<uint32_t>{10000, 10000}));
}

// docs/phone-app.md §The package
TEST_F(InstallerTest, AFreshInstallCopiesInstallsAndGrants) {
    notInstalled();
    adb.answer(installArgs(), true, "Performing Streamed Install\r\nSuccess\r\n");
    adb.answerPrefix(prefix + L"shell pm grant ", true, "");
    const InstallOutcome o = ensure();
    EXPECT_EQ(o.kind, 1);
    EXPECT_EQ(o.detail, "");
    EXPECT_EQ(progress, std::vector<std::string>{"Installing Tovenmar on your phone\xE2\x80\xA6"});
    std::string written;
    ASSERT_TRUE(readFile(localPath(), written));
    EXPECT_EQ(written, package);
    EXPECT_EQ(adb.count(installArgs()), 1);
    EXPECT_EQ(
        adb.count(prefix + L"shell pm grant com.tovenmar.app android.permission.RECORD_AUDIO"), 1);
    EXPECT_EQ(adb.count(prefix +
                        L"shell pm grant com.tovenmar.app android.permission.POST_NOTIFICATIONS"),
              1);
    EXPECT_EQ(adb.timeouts()[1], 120000u);
}

TEST_F(InstallerTest, AnOlderAppIsUpdatedAndSuccessCountsWhateverTheExitCode) {
    installed(std::string(64, '0'));
    adb.answer(installArgs(), false, "Success\n");
    const InstallOutcome o = ensure();
    EXPECT_EQ(o.kind, 2);
    EXPECT_EQ(progress, std::vector<std::string>{"Updating Tovenmar on your phone\xE2\x80\xA6"});
    EXPECT_EQ(grants(), 2);
}

TEST_F(InstallerTest, EachFailureKindGetsItsStatusTextAndNoGrants) {
    notInstalled();
    const std::pair<const char*, int> cases[] = {
        {"Failure [INSTALL_FAILED_UPDATE_INCOMPATIBLE: signatures do not match]", 3},
        {"Failure [INSTALL_FAILED_USER_RESTRICTED: Install canceled by user]", 4},
        {"Failure [INSTALL_FAILED_ABORTED: User rejected permissions]", 4},
        {"Failure [INSTALL_FAILED_VERIFICATION_FAILURE]", 4},
        {"adb: failed to install: Failure [INSTALL_FAILED_OLDER_SDK: needs 29]", 5},
    };
    for (const auto& [output, kind] : cases) {
        adb.answer(installArgs(), false, std::string(output) + "\r\n");
        const InstallOutcome o = ensure();
        EXPECT_EQ(o.kind, kind) << output;
        if (kind == 3) {
            EXPECT_EQ(o.detail, output);
            EXPECT_EQ(installStatusText(o),
                      "The Tovenmar app on your phone is signed differently, so it can't be "
                      "updated. Reinstalling it removes only its own settings.");
        }
        if (kind == 4) {
            EXPECT_EQ(installStatusText(o),
                      "Your phone blocked the install. On Xiaomi and some others, turn on "
                      "\"Install via USB\" in Developer options, then press Start stream again.");
        }
        if (kind == 5) {
            EXPECT_EQ(installStatusText(o),
                      "Couldn't install Tovenmar on your phone ([INSTALL_FAILED_OLDER_SDK: needs "
                      "29]).");
        }
    }
    EXPECT_EQ(grants(), 0);
}

TEST_F(InstallerTest, ReinstallUninstallsFirstAndReportsAFreshInstall) {
    adb.answerPrefix(prefix + L"uninstall ", true, "Success\n");
    adb.answer(installArgs(), true, "Success\n");
    adb.answerPrefix(prefix + L"shell pm grant ", true, "");
    const InstallOutcome o = installer->reinstallApp(L"adb", prefix);
    EXPECT_EQ(o.kind, 1);
    const auto calls = adb.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], prefix + L"uninstall com.tovenmar.app");
    EXPECT_EQ(calls[1], installArgs());
    EXPECT_EQ(adb.timeouts()[0], 60000u);
}

TEST_F(InstallerTest, WithoutACarriedPackageNothingIsInstalledOrCopied) {
    make("");
    installed("");  // a phone whose checksum fails must not look current either
    adb.answer(prefix + L"shell sha256sum /data/app/b.apk", false, "");
    const InstallOutcome o = ensure();
    EXPECT_EQ(o.kind, 5);
    EXPECT_EQ(installStatusText(o),
              "Couldn't install Tovenmar on your phone (this copy of Tovenmar has no phone app "
              "built in).");
    EXPECT_EQ(adb.countPrefix(prefix + L"install"), 0);
    adb.clearCalls();
    EXPECT_FALSE(installer->copyHelper(L"adb", prefix));
    EXPECT_TRUE(adb.calls().empty());
    EXPECT_EQ(installer->packageDigest(), "");
}

TEST_F(InstallerTest, TheLocalCopyIsWrittenOnceAndAgainOnlyWhenRemoved) {
    const std::wstring first = installer->localCopy();
    ASSERT_EQ(first, localPath());
    ASSERT_TRUE(writeFile(first, "changed by hand"));
    EXPECT_EQ(installer->localCopy(), first);
    std::string bytes;
    readFile(first, bytes);
    EXPECT_EQ(bytes, "changed by hand");  // not rewritten while it is there
    ASSERT_TRUE(deleteFile(first));
    EXPECT_EQ(installer->localCopy(), first);
    readFile(first, bytes);
    EXPECT_EQ(bytes, package);

    // A folder that cannot be made: no copy, and the install fails plainly.
    ASSERT_TRUE(writeFile(dir.file(L"blocker"), "x"));
    make(package, joinPath(dir.file(L"blocker"), L"Tovenmar"));
    EXPECT_EQ(installer->localCopy(), L"");
    notInstalled();
    EXPECT_EQ(ensure().kind, 5);
}

// docs/phone-app.md §The package
TEST_F(InstallerTest, TheHelperIsPushedOnlyWhenThePhoneCopyDiffers) {
    const std::wstring checksum = prefix + L"shell sha256sum /data/local/tmp/tovenmar.apk";
    const std::wstring push =
        prefix + L"push \"" + localPath() + L"\" /data/local/tmp/tovenmar.apk";
    adb.answer(checksum, true, digest + "  /data/local/tmp/tovenmar.apk\n");
    EXPECT_TRUE(installer->copyHelper(L"adb", prefix));
    EXPECT_EQ(adb.count(push), 0);

    adb.answer(checksum, false,
               "sha256sum: /data/local/tmp/tovenmar.apk: No such file or directory\n");
    adb.answer(push, true, "1 file pushed.\n");
    EXPECT_TRUE(installer->copyHelper(L"adb", prefix));
    EXPECT_EQ(adb.count(push), 1);

    adb.answer(push, false, "adb: error: failed to copy\n");
    EXPECT_FALSE(installer->copyHelper(L"adb", prefix));
}

TEST_F(InstallerTest, TwoCallersAtOnceCopyTheHelperOnce) {
    const std::wstring checksum = prefix + L"shell sha256sum /data/local/tmp/tovenmar.apk";
    const std::wstring push =
        prefix + L"push \"" + localPath() + L"\" /data/local/tmp/tovenmar.apk";
    adb.answer(checksum, false, "No such file\n");
    adb.answer(push, true, "");
    // The push takes a while and leaves the phone with the package.
    adb.onRun = [&](const std::wstring& args) {
        if (args != push) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        adb.answer(checksum, true, digest + "  /data/local/tmp/tovenmar.apk\n");
    };
    bool a = false, b = false;
    std::thread first([&] { a = installer->copyHelper(L"adb", prefix); });
    std::thread second([&] { b = installer->copyHelper(L"adb", prefix); });
    first.join();
    second.join();
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
    EXPECT_EQ(adb.count(push), 1);
    EXPECT_EQ(adb.count(checksum), 2);
}

TEST_F(InstallerTest, TheInstallAndTheHelperCopyAreLogged) {
    test::TempDir logDir;
    test::ScopedEnv env(L"LOCALAPPDATA", logDir.path());
    openLog();
    notInstalled();
    adb.answer(installArgs(), true, "Performing Streamed Install\nSuccess\r\n \n");
    ensure();
    adb.answerPrefix(prefix + L"uninstall ", true, "");
    installer->reinstallApp(L"adb", prefix);
    adb.answerPrefix(prefix + L"shell sha256sum", false, "");
    adb.answerPrefix(prefix + L"push", false, "");
    installer->copyHelper(L"adb", prefix);
    std::string log;
    readFile(joinPath(joinPath(logDir.path(), L"Tovenmar"), L"tovenmar.log"), log);
    // One line, the trailing white space gone.
    const std::string line = "phone app: install: Performing Streamed Install Success";
    const size_t at = log.find(line);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_TRUE(log[at + line.size()] == '\r' || log[at + line.size()] == '\n');
    EXPECT_NE(log.find("phone app: uninstalled for a fresh install"), std::string::npos);
    EXPECT_NE(log.find("phone app: helper copied to /data/local/tmp/tovenmar.apk: failed"),
              std::string::npos);
}

#ifdef _WIN32
// This test program carries no package resource: the real loader finds none.
TEST(CarriedPackage, ABuildWithoutAPackageSaysSo) {
    EXPECT_EQ(loadCarriedPackage(), "");
    test::FakeAdb adb;
    adb.answerPrefix(L"-s P shell pm path", false, "");
    AppInstaller::Options options;
    options.runAdb = adb.runner();
    AppInstaller installer(options);
    EXPECT_EQ(installStatusText(installer.ensureApp(L"adb", L"-s P ", nullptr)),
              "Couldn't install Tovenmar on your phone (this copy of Tovenmar has no phone app "
              "built in).");
}
#endif

}  // namespace
}  // namespace tov
