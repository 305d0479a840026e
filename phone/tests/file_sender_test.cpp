// Files dropped for the phone: which command each gets, how adb's answers read to the user, and
// the sender's queue with its faults (no phone, a file gone, a folder, the shut-down mid-copy).
#include "phone/file_sender.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "core/text_characters.h"
#include "phone/copy_progress.h"
#include "phone/download_folder.h"
#include "phone/file_transfer.h"
#include "phone/tests/fake_adb.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

TEST(FileTransfer, ApksAreInstalledEverythingElseCopiedUnderAFreeName) {
    EXPECT_EQ(transferKind(L"C:\\Downloads\\Game.APK"), TransferKind::Install);
    EXPECT_EQ(transferKind(L"C:\\Downloads\\photo.jpg"), TransferKind::Push);
    EXPECT_EQ(transferKind(L"C:\\apk"), TransferKind::Push);
    EXPECT_EQ(installArgs(L"C:\\a b\\g.apk"), L"install -r \"C:\\a b\\g.apk\"");
    EXPECT_EQ(installTimeoutMs(1), 121000u);
    EXPECT_EQ(displayName(L"C:\\x\\ph\u00f6to.jpg"), "ph\xC3\xB6to.jpg");
    EXPECT_EQ(displayName(L"/a/a-very-long-name-that-goes-on-and-on-and-on-2026.jpg"),
              "a-very-long-name-that-goes-\xE2\x80\xA6-on-2026.jpg");
    // As Windows names copies; the phone's shared storage ignores case.
    const std::vector<std::string> taken = {"Photo.JPG", "photo (2).jpg", ".nomedia", "notes"};
    EXPECT_EQ(freeName("photo.jpg", taken), "photo (3).jpg");
    EXPECT_EQ(freeName("notes", taken), "notes (2)");
    EXPECT_EQ(freeName(".nomedia", taken), ".nomedia (2)");
    EXPECT_EQ(freeName("movie.mp4", taken), "movie.mp4");
    // Accented, Greek and Cyrillic letters too, as the storage folds them; ß is no "ss" there.
    const std::vector<std::string> phone = {"\xC3\xA9t\xC3\xA9.jpg",
                                            "\xC5\x82\xC3\xB3"
                                            "d\xC5\xBA",
                                            "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1",
                                            "\xD1\x91\xD0\xBB\xD0\xBA\xD0\xB0",
                                            "stra\xC3\x9F"
                                            "e"};
    EXPECT_EQ(freeName("\xC3\x89T\xC3\x89.jpg", phone), "\xC3\x89T\xC3\x89 (2).jpg");  // ÉTÉ
    EXPECT_EQ(freeName("\xC5\x81\xC3\x93"
                       "D\xC5\xB9",
                       phone),
              "\xC5\x81\xC3\x93"
              "D\xC5\xB9 (2)");                                             // ŁÓDŹ
    EXPECT_EQ(freeName("\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91", phone),  // ΣΟΦΊΑ
              "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91 (2)");
    EXPECT_EQ(freeName("\xD0\x81\xD0\x9B\xD0\x9A\xD0\x90", phone),  // ЁЛКА
              "\xD0\x81\xD0\x9B\xD0\x9A\xD0\x90 (2)");
    EXPECT_EQ(freeName("strasse", phone), "strasse");
    EXPECT_EQ(folderNames(".\n..\nPhoto.JPG\nit's $HOME; (1).txt\n"),
              (std::vector<std::string>{"Photo.JPG", "it's $HOME; (1).txt"}));
}

TEST(FileTransfer, ALongNameIsShortenedByWholeCharacters) {
    // 45 emoji, each outside the 16-bit range: two UTF-16 units apiece.
    std::wstring emoji;
    for (int i = 0; i < 45; ++i) emoji += widen("\xF0\x9F\x98\x80");
    const std::string smiles = displayName(L"C:\\" + emoji + L".png");
    EXPECT_EQ(widen(smiles).find(L'\uFFFD'), std::wstring::npos) << smiles;
    EXPECT_EQ(textCharacters(smiles).size(), 40u);
    // A letter with a combining accent and a family joined with a zero-width joiner stay whole
    // on either side of the cut.
    std::string parts;
    for (int i = 0; i < 26; ++i) parts += "a";
    parts += "e\xCC\x81";                         // e + combining acute: 27th
    parts += "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // thumbs-up, medium skin tone
    parts += "-middle-";
    parts += "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";  // woman ZWJ girl
    parts += "0123456.txt";
    const std::string shown = displayName(widen(parts));
    EXPECT_EQ(shown, std::string(26, 'a') + "e\xCC\x81\xE2\x80\xA6" +
                         "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7" + "0123456.txt")
        << shown;
}

TEST(CopyProgress, ACopyIsStoppedForStallingNeverForTakingLong) {
    const auto bytes = [](int64_t n) { return PhoneFileSize{PhoneFileSize::Kind::Bytes, n}; };
    // 2 GiB over a link of 0.8 MiB/s: 43 minutes, never stalled, its share shown as it goes.
    const int64_t big = int64_t{2} << 30;
    CopyProgress slow(big, 0);
    uint64_t now = 0;
    for (int64_t arrived = 0; arrived < big; arrived += 838861) {
        now += 1000;
        slow.observe(now, bytes(arrived));
        ASSERT_FALSE(slow.stalled(now)) << now;
    }
    EXPECT_EQ(slow.percent(now), 99);

    CopyProgress stuck(100 << 20, 0);
    stuck.observe(1000, readPhoneFileSize("stat: '/sdcard/Download/a b': No such file or "
                                          "directory\n"));
    EXPECT_EQ(stuck.percent(1000), -1);  // a quick copy shows no share
    stuck.observe(2000, readPhoneFileSize("47185920\n"));
    EXPECT_EQ(stuck.percent(2000), 45);
    stuck.observe(32000, readPhoneFileSize(""));  // an adb that gave no answer
    EXPECT_FALSE(stuck.stalled(32000));
    EXPECT_TRUE(stuck.stalled(32001));
    // Nothing arriving at all stalls as surely.
    CopyProgress never(10, 0);
    never.observe(30001, readPhoneFileSize("stat: 'x': No such file or directory\n"));
    EXPECT_TRUE(never.stalled(30001));
    // A phone whose shell cannot tell sizes gets the time a slow link needs: 60 s + 8 s per MiB.
    CopyProgress blind(100 << 20, 0);
    blind.observe(1000, readPhoneFileSize("/system/bin/sh: stat: inaccessible or not found\n"));
    EXPECT_FALSE(blind.stalled(860000));
    EXPECT_TRUE(blind.stalled(860001));
    EXPECT_EQ(blind.percent(5000), -1);
    EXPECT_EQ(readPhoneFileSize("adb: device 'R58M' not found\n").kind,
              PhoneFileSize::Kind::PhoneGone);
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
        o.runAdbWatched = adb.watchedRunner();
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
    adb.answerPrefix(L"-s S1 shell ls", true, ".\n..\n");
    adb.answerPrefix(L"-s S1 shell \"mv", true, "");
    std::mutex gate;
    gate.lock();  // the first command waits until the second drop is in
    adb.onRun = [&](const std::wstring& args) {
        if (args.find(L"game.apk") != std::wstring::npos) std::lock_guard hold(gate);
    };
    FileSender sender(options());
    sender.send("S1", {apk, photo});
    const std::wstring install = L"-s S1 " + installArgs(apk),
                       list = L"-s S1 " + downloadListingArgs();
    ASSERT_TRUE(adb.waitForCalls(install, 1, std::chrono::seconds(10)));
    sender.send("S1", {notes});
    gate.unlock();
    ASSERT_TRUE(toldOf("notes.txt copied to the phone's Download folder."));
    // Each copy arrives under a name of its own and is renamed without replacing, then looked for.
    const auto copied = [&](const std::wstring& path, const std::string& name) {
        const std::string part = "/sdcard/Download/." + name + ".tovenmar-part";
        return std::vector<std::wstring>{
            list, L"-s S1 " + pushArgs(path, part),
            L"-s S1 " + moveWithoutReplacingArgs(part, "/sdcard/Download/" + name), list};
    };
    std::vector<std::wstring> expected = {install};
    for (const auto& calls : {copied(photo, "ph\xC3\xB6to.jpg"), copied(notes, "notes.txt")}) {
        expected.insert(expected.end(), calls.begin(), calls.end());
    }
    EXPECT_EQ(adb.calls(), expected);
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
    adb.answerPrefix(L"-s S1 shell ls", true, "");
    adb.onRun = [](const std::wstring& args) {
        if (args.find(L" push ") == std::wstring::npos) return;
        while (!commandsCancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    FileSender sender(options());
    sender.send("S1", {file(L"big.bin"), file(L"next.bin")});
    ASSERT_TRUE(toldOf("Copying big.bin\xE2\x80\xA6"));
    sender.stop();                      // returns: the copy was cut short, the next file dropped
    EXPECT_EQ(adb.calls().size(), 2u);  // the listing and the copy
    for (const std::string& s : statuses()) EXPECT_EQ(s.find("big.bin copied"), std::string::npos);
}

}  // namespace
}  // namespace tov
