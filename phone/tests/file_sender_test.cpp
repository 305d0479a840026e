// Files dropped for the phone: which command each gets, how adb's answers read to the user, and
// the sender's queue with its faults (no phone, a file gone, a folder, the shut-down mid-copy).
#include "phone/file_sender.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "phone/file_transfer.h"
#include "phone/tests/fake_adb.h"
#include "platform/files.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

TEST(FileTransfer, ApksAreInstalledEverythingElsePushedWithRoomForLargeFiles) {
    EXPECT_EQ(transferKind(L"C:\\Downloads\\Game.APK"), TransferKind::Install);
    EXPECT_EQ(transferKind(L"C:\\Downloads\\photo.jpg"), TransferKind::Push);
    EXPECT_EQ(transferKind(L"C:\\apk"), TransferKind::Push);
    EXPECT_EQ(transferArgs(TransferKind::Install, L"C:\\a b\\g.apk"),
              L"install -r \"C:\\a b\\g.apk\"");
    EXPECT_EQ(transferArgs(TransferKind::Push, L"C:\\a b\\p.jpg"),
              L"push \"C:\\a b\\p.jpg\" /sdcard/Download/");
    EXPECT_EQ(transferTimeoutMs(TransferKind::Push, 0), 60000u);
    EXPECT_EQ(transferTimeoutMs(TransferKind::Push, int64_t{100} << 20), 160000u);
    EXPECT_EQ(transferTimeoutMs(TransferKind::Install, 1), 121000u);
    EXPECT_EQ(displayName(L"C:\\x\\ph\u00f6to.jpg"), "ph\xC3\xB6to.jpg");
    EXPECT_EQ(displayName(L"/a/a-very-long-name-that-goes-on-and-on-and-on-2026.jpg"),
              "a-very-long-name-that-goes-\xE2\x80\xA6-on-2026.jpg");
}

TEST(FileTransfer, AdbsAnswersBecomeTheReasonTheUserReads) {
    const auto reason = [](TransferKind kind, bool exitedOk, const char* output) {
        const TransferOutcome o = judgeTransfer(kind, exitedOk, output, false);
        return o.ok ? std::string("ok") : o.reason;
    };
    EXPECT_EQ(reason(TransferKind::Install, true, "Performing Streamed Install\r\nSuccess\r\n"),
              "ok");
    // Older adb exits with 0 after a failed install.
    EXPECT_EQ(reason(TransferKind::Install, true,
                     "adb: failed to install g.apk: Failure [INSTALL_FAILED_VERSION_DOWNGRADE: "
                     "Downgrade detected]\n"),
              "INSTALL_FAILED_VERSION_DOWNGRADE");
    EXPECT_EQ(reason(TransferKind::Install, false, "Success? no: adb: error: closed\n"), "closed");
    EXPECT_EQ(reason(TransferKind::Push, true, "p.jpg: 1 file pushed, 0 skipped.\n"), "ok");
    EXPECT_EQ(reason(TransferKind::Push, false,
                     "adb: error: failed to copy 'C:\\p.jpg' to '/sdcard/Download/p.jpg': remote "
                     "No space left on device\n"),
              "No space left on device");
    EXPECT_EQ(reason(TransferKind::Push, false,
                     "adb: device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is not set\n"),
              "device unauthorized.");
    EXPECT_EQ(reason(TransferKind::Push, false, ""), "adb gave no reason");
    EXPECT_EQ(judgeTransfer(TransferKind::Push, false, "", true).reason,
              "adb didn't finish in time");
    EXPECT_EQ(transferFailedText(TransferKind::Push, "p.jpg", "No space left on device"),
              "Couldn't copy p.jpg: No space left on device.");
    EXPECT_EQ(transferFailedText(TransferKind::Install, "g.apk", "device unauthorized."),
              "Couldn't install g.apk: device unauthorized.");
}

class FileSenderTest : public ::testing::Test {
  protected:
    FileSenderOptions options() {
        FileSenderOptions o;
        o.findAdb = [] { return std::wstring(L"adb"); };
        o.runAdb = adb.runner();
        o.status = [this](const std::string& text, bool failed) {
            std::lock_guard lock(lock_);
            said.push_back((failed ? "! " : "") + text);
        };
        return o;
    }
    std::vector<std::string> statuses() {
        std::lock_guard lock(lock_);
        return said;
    }
    // Waits until a status began with `text` (a start also says how many more wait, which
    // depends on the timing).
    bool toldOf(const std::string& text) {
        return test::waitFor([&] {
            for (const std::string& s : statuses())
                if (s.rfind(text, 0) == 0) return true;
            return false;
        });
    }
    std::wstring file(const wchar_t* name) {
        const std::wstring path = dir.file(name);
        EXPECT_TRUE(writeFile(path, "bytes"));
        return path;
    }

    test::TempDir dir;
    test::FakeAdb adb;
    std::mutex lock_;
    std::vector<std::string> said;
};

TEST_F(FileSenderTest, FilesGoOneAfterAnotherAndALaterDropWaitsItsTurn) {
    const std::wstring apk = file(L"game.apk"), photo = file(L"ph\u00f6to.jpg"),
                       notes = file(L"notes.txt");
    adb.answerPrefix(L"-s S1 install", true, "Performing Streamed Install\nSuccess\n");
    adb.answerPrefix(L"-s S1 push", true, "x: 1 file pushed, 0 skipped.\n");
    std::mutex gate;
    gate.lock();  // the first command waits until the second drop is in
    adb.onRun = [&](const std::wstring& args) {
        if (args.find(L"game.apk") != std::wstring::npos) std::lock_guard hold(gate);
    };
    FileSender sender(options());
    sender.send("S1", {apk, photo});
    ASSERT_TRUE(adb.waitForCalls(L"-s S1 " + transferArgs(TransferKind::Install, apk), 1,
                                 std::chrono::seconds(10)));
    sender.send("S1", {notes});
    gate.unlock();
    ASSERT_TRUE(toldOf("notes.txt copied to the phone's Download folder."));
    EXPECT_EQ(adb.calls(),
              (std::vector<std::wstring>{L"-s S1 " + transferArgs(TransferKind::Install, apk),
                                         L"-s S1 " + transferArgs(TransferKind::Push, photo),
                                         L"-s S1 " + transferArgs(TransferKind::Push, notes)}));
    EXPECT_TRUE(toldOf("game.apk installed."));
    EXPECT_TRUE(toldOf("ph\xC3\xB6to.jpg copied to the phone's Download folder."));
    EXPECT_TRUE(toldOf("Installing game.apk\xE2\x80\xA6"));
}

TEST_F(FileSenderTest, NoPhoneAFileGoneAndAFolderAreToldAndNeverReachAdb) {
    FileSender sender(options());
    sender.send("", {file(L"a.jpg")});
    EXPECT_EQ(statuses(), std::vector<std::string>{"! " + noPhoneText()});
    sender.send("S1", {dir.file(L"gone.jpg"), dir.path()});
    const std::string folder = displayName(dir.path());
    ASSERT_TRUE(toldOf("! 0 of 2 files went to the phone. Couldn't copy " + folder +
                       ": it's a folder; drop the files in it instead."));
    EXPECT_TRUE(toldOf("! Couldn't copy gone.jpg: it's no longer there."));
    EXPECT_TRUE(adb.calls().empty());
}

TEST_F(FileSenderTest, StoppingCutsARunningCopyShortAndSaysNothingMore) {
    adb.onRun = [](const std::wstring&) {
        while (!commandsCancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    FileSender sender(options());
    sender.send("S1", {file(L"big.bin"), file(L"next.bin")});
    ASSERT_TRUE(toldOf("Copying big.bin\xE2\x80\xA6"));
    sender.stop();  // returns: the copy was cut short, the next file dropped
    EXPECT_EQ(adb.calls().size(), 1u);
    for (const std::string& s : statuses()) EXPECT_EQ(s.find("big.bin copied"), std::string::npos);
}

}  // namespace
}  // namespace tov
