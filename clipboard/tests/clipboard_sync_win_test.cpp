// ClipboardSync on the real Windows clipboard: this test program plays the other programs that
// copy and paste, through its own window.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "core/log.h"
#include "clipboard/clipboard_sync.h"
#include "clipboard/dib.h"
#include "clipboard/phone_copy.h"
#include "clipboard/tests/test_pictures.h"
#include "clipboard/wic_coder_win.h"
#include "clipboard/win32_clipboard_win.h"
#include "platform/files.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

using namespace std::chrono_literals;

// Generous: Wine on a busy machine can be slow, and every wait ends as soon as it is met.
constexpr std::chrono::milliseconds kPatience = 20s;

bool waitUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        Sleep(5);
    }
    return true;
}

// Another program's side of the clipboard.
class OtherProgram {
  public:
    OtherProgram() {
        window_ = CreateWindowExW(0, L"STATIC", L"other program", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~OtherProgram() { DestroyWindow(window_); }

    bool open() {
        return waitUntil([&] { return OpenClipboard(window_) != FALSE; });
    }

    void copy(const std::map<ClipFormat, std::string>& formats) {
        ASSERT_TRUE(open());
        EmptyClipboard();
        Win32Clipboard clipboard(window_);
        for (const auto& [format, bytes] : formats) EXPECT_TRUE(clipboard.put(format, bytes));
        CloseClipboard();
    }
    void copyText(const std::string& utf8) {
        copy({{ClipFormat::UnicodeText, unicodeBlockFromText(utf8)}});
    }

    // What the clipboard holds in each of the program's formats.
    std::map<ClipFormat, std::string> paste() {
        std::map<ClipFormat, std::string> out;
        if (!open()) return out;
        Win32Clipboard clipboard(window_);
        for (ClipFormat f : {ClipFormat::UnicodeText, ClipFormat::Dib, ClipFormat::Png,
                             ClipFormat::Marker, ClipFormat::ExcludeFromMonitoring,
                             ClipFormat::HistoryPermission, ClipFormat::ViewerIgnore}) {
            if (auto block = clipboard.block(f, 0x10000000)) out[f] = *block;
        }
        CloseClipboard();
        return out;
    }

    HWND window() const { return window_; }

  private:
    HWND window_ = nullptr;
};

class ClipboardSyncTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        openLog();
        sync.start([this](ClipItem item) {
            std::lock_guard lock(mutex);
            received.push_back(std::move(item));
        });
        ASSERT_TRUE(waitUntil([&] { return sync.listening(); }));
        copyTextAndSettle("warming up");
        ASSERT_TRUE(hasItem("warming up"));
        clearReceived();
    }
    void TearDown() override {
        sync.stop();
        CoUninitialize();
    }

    std::vector<ClipItem> items() {
        std::lock_guard lock(mutex);
        return received;
    }
    void clearReceived() {
        std::lock_guard lock(mutex);
        received.clear();
    }
    bool hasItem(const std::string& data) {
        for (const auto& item : items()) {
            if (item.data == data) return true;
        }
        return false;
    }
    // Makes a copy and waits until the clipboard thread has looked at it.
    void copyAndSettle(const std::map<ClipFormat, std::string>& formats) {
        const uint64_t before = sync.readsDone();
        other.copy(formats);
        ASSERT_TRUE(waitUntil([&] { return sync.readsDone() > before; }));
    }
    void copyTextAndSettle(const std::string& utf8) {
        copyAndSettle({{ClipFormat::UnicodeText, unicodeBlockFromText(utf8)}});
    }
    // The data of every item sent so far.
    std::vector<std::string> sentData() {
        std::vector<std::string> out;
        for (const auto& item : items()) out.push_back(item.data);
        return out;
    }
    std::string log() {
        std::string s;
        readFile(dir.path() + L"\\Tovenmar\\tovenmar.log", s);
        return s;
    }
    // Writes a phone copy and waits for the clipboard to hold it (marked as the program's own).
    void writeFromPhone(ClipItem item) {
        const uint64_t before = sync.readsDone();
        sync.putFromPhone(std::move(item));
        // The write changes the clipboard, which the thread then looks at (and leaves alone).
        ASSERT_TRUE(waitUntil([&] { return sync.readsDone() > before; }));
    }

    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    OtherProgram other;
    ClipboardSync sync;
    std::mutex mutex;
    std::vector<ClipItem> received;
};

TEST_F(ClipboardSyncTest, TextCopiedOnThePcReachesTheCallbackOnce) {
    copyTextAndSettle("caf\xC3\xA9 \xF0\x9F\x98\x80");
    const auto sent = items();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, kClipText);
    EXPECT_EQ(sent[0].mime, "text/plain");
    EXPECT_EQ(sent[0].data, "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_FALSE(sent[0].isPrivate);
    EXPECT_NE(log().find("clipboard: PC copy, text/plain, 10 bytes"), std::string::npos) << log();
}

TEST_F(ClipboardSyncTest, ABurstOfChangesIsReadOnce) {
    const uint64_t before = sync.readsDone();
    other.copyText("first");
    other.copyText("second");
    other.copyText("third");
    ASSERT_TRUE(waitUntil([&] { return sync.readsDone() > before; }));
    EXPECT_EQ(sentData(), std::vector<std::string>{"third"});
    EXPECT_EQ(sync.readsDone(), before + 1);
}

TEST_F(ClipboardSyncTest, ThePhonesCopyIsNotEchoed) {
    writeFromPhone({kClipText, false, "text/plain", "from the phone \xE2\x82\xAC"});
    auto pasted = other.paste();
    EXPECT_EQ(pasted[ClipFormat::UnicodeText], unicodeBlockFromText("from the phone \xE2\x82\xAC"));
    EXPECT_EQ(pasted[ClipFormat::Marker], std::string(1, '\0'));
    EXPECT_EQ(pasted.count(ClipFormat::ExcludeFromMonitoring), 0u);
    EXPECT_TRUE(items().empty());
    EXPECT_NE(log().find("clipboard: phone copy, text/plain, 18 bytes\r\n"), std::string::npos)
        << log();

    // The marker keeps it home even when another program adds to that copy.
    ASSERT_TRUE(other.open());
    Win32Clipboard(other.window()).put(ClipFormat::ViewerIgnore, "");
    CloseClipboard();
    copyTextAndSettle("mine again");
    EXPECT_EQ(sentData(), std::vector<std::string>{"mine again"});
}

TEST_F(ClipboardSyncTest, TheSameTextWithinOneAndAHalfSecondsIsSentOnce) {
    copyTextAndSettle("twice");
    copyTextAndSettle("twice");
    EXPECT_EQ(sentData(), std::vector<std::string>{"twice"});
    Sleep(1600);
    copyTextAndSettle("twice");
    EXPECT_EQ(sentData(), (std::vector<std::string>{"twice", "twice"}));
}

TEST_F(ClipboardSyncTest, TextOutsideTheLimitsIsNotSent) {
    sync.setOptions(true, true);
    copyTextAndSettle("");
    copyTextAndSettle(std::string(0x100001, 'x'));
    EXPECT_TRUE(items().empty());
    copyTextAndSettle(std::string(0x100000, 'y'));
    ASSERT_EQ(items().size(), 1u);
    clearReceived();

    // A text block over 4 MiB reads as empty, and the picture beside it is not tried.
    std::string huge = unicodeBlockFromText("short");
    huge.resize(0x400002, 'z');
    const std::string png = WicPictureCoder().encodePng(test::patternBitmap(2, 2));
    copyAndSettle({{ClipFormat::UnicodeText, huge}, {ClipFormat::Png, png}});
    EXPECT_TRUE(items().empty());
    copyAndSettle({{ClipFormat::Png, png}});  // the picture alone does go
    EXPECT_EQ(items().size(), 1u);
}

TEST_F(ClipboardSyncTest, PrivateCopiesGoOnlyWithPasswordsShared) {
    const std::pair<ClipFormat, std::string> marks[] = {
        {ClipFormat::ExcludeFromMonitoring, std::string(1, '\0')},
        {ClipFormat::ViewerIgnore, std::string(1, '\0')},
        {ClipFormat::HistoryPermission, std::string(4, '\0')},
    };
    int n = 0;
    for (const auto& mark : marks) {
        SCOPED_TRACE(n);
        const std::string secret = "secret " + std::to_string(n++);
        sync.setOptions(false, false);
        copyAndSettle({{ClipFormat::UnicodeText, unicodeBlockFromText(secret)}, mark});
        EXPECT_TRUE(items().empty());
        sync.setOptions(false, true);
        copyAndSettle({{ClipFormat::UnicodeText, unicodeBlockFromText(secret)}, mark});
        const auto sent = items();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].data, secret);
        EXPECT_TRUE(sent[0].isPrivate);
        clearReceived();
    }
    EXPECT_NE(log().find("clipboard: PC copy, text/plain, 8 bytes, private"), std::string::npos);

    // History permission other than 0 is an ordinary copy.
    sync.setOptions(false, false);
    copyAndSettle({{ClipFormat::UnicodeText, unicodeBlockFromText("allowed")},
                   {ClipFormat::HistoryPermission, std::string("\1\0\0\0", 4)}});
    ASSERT_EQ(items().size(), 1u);
    EXPECT_FALSE(items()[0].isPrivate);
}

TEST_F(ClipboardSyncTest, APrivatePhoneCopyCarriesBothPrivateFormats) {
    writeFromPhone({kClipText, true, "text/plain", "hunter2"});
    auto pasted = other.paste();
    EXPECT_EQ(pasted[ClipFormat::UnicodeText], unicodeBlockFromText("hunter2"));
    EXPECT_EQ(pasted[ClipFormat::ExcludeFromMonitoring], std::string(1, '\0'));
    ASSERT_GE(pasted[ClipFormat::HistoryPermission].size(), 4u);
    EXPECT_EQ(pasted[ClipFormat::HistoryPermission].substr(0, 4), std::string(4, '\0'));
    EXPECT_NE(log().find("clipboard: phone copy, text/plain, 7 bytes, private\r\n"),
              std::string::npos);
}

TEST_F(ClipboardSyncTest, APictureOfferedOnlyAsDibIsSentAsPng) {
    const Bitmap bitmap = test::patternBitmap(12, 7);
    copyAndSettle({{ClipFormat::Dib, dibFromBitmap(bitmap)}});
    EXPECT_TRUE(items().empty());  // pictures are off by default
    sync.setOptions(true, false);
    copyAndSettle({{ClipFormat::Dib, dibFromBitmap(bitmap)}});
    const auto sent = items();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, kClipPicture);
    EXPECT_EQ(sent[0].mime, "image/png");
    ASSERT_GE(sent[0].data.size(), 8u);
    EXPECT_EQ(sent[0].data.substr(1, 3), "PNG");
    const auto decoded = WicPictureCoder().decode(sent[0].data);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 12u);
    EXPECT_EQ(decoded->pixels, bitmap.pixels);
}

TEST_F(ClipboardSyncTest, APictureOfferedAsPngIsSentByteForByte) {
    sync.setOptions(true, false);
    std::string png = WicPictureCoder().encodePng(test::patternBitmap(5, 5));
    png += "trailing bytes a PNG reader ignores";
    copyAndSettle(
        {{ClipFormat::Png, png}, {ClipFormat::Dib, dibFromBitmap(test::patternBitmap(1, 1))}});
    const auto sent = items();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, png);
}

TEST_F(ClipboardSyncTest, APhonePictureIsWrittenAsDibAndPng) {
    const Bitmap bitmap = test::patternBitmap(10, 6);
    const std::string png = WicPictureCoder().encodePng(bitmap);
    writeFromPhone({kClipPicture, false, "image/png", png});
    auto pasted = other.paste();
    EXPECT_EQ(pasted[ClipFormat::Png], png);
    const auto dib = test::bitmapFromDib(pasted[ClipFormat::Dib]);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->width, 10u);
    EXPECT_EQ(dib->height, 6u);
    EXPECT_EQ(dib->pixels, bitmap.pixels);
    EXPECT_GT(static_cast<int32_t>(pasted[ClipFormat::Dib][8]), 0);  // bottom-up
    EXPECT_TRUE(items().empty());
}

TEST_F(ClipboardSyncTest, APhonePictureThatIsNotPngIsStillWritten) {
    const Bitmap bitmap = test::patternBitmap(4, 9);
    const std::string bmp = dibToBmpFile(dibFromBitmap(bitmap));
    writeFromPhone({kClipPicture, false, "image/bmp", bmp});
    auto pasted = other.paste();
    const auto dib = test::bitmapFromDib(pasted[ClipFormat::Dib]);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->pixels, bitmap.pixels);
    ASSERT_TRUE(pasted.count(ClipFormat::Png));
    const auto fromPng = WicPictureCoder().decode(pasted[ClipFormat::Png]);
    ASSERT_TRUE(fromPng);
    EXPECT_EQ(fromPng->pixels, bitmap.pixels);
}

TEST_F(ClipboardSyncTest, AnUndecodablePhonePictureIsLoggedAsFailed) {
    writeFromPhone({kClipPicture, false, "image/png", "not a picture at all"});
    auto pasted = other.paste();
    EXPECT_EQ(pasted.count(ClipFormat::Dib), 0u);
    EXPECT_EQ(pasted.count(ClipFormat::Png), 0u);
    EXPECT_EQ(pasted.count(ClipFormat::Marker), 1u);
    EXPECT_NE(log().find("clipboard: phone copy, image/png, 20 bytes (couldn't put it on the "
                         "clipboard)"),
              std::string::npos)
        << log();
}

TEST_F(ClipboardSyncTest, ABusyClipboardDropsThePhoneCopySilently) {
    ASSERT_TRUE(other.open());  // held well past ten attempts 20 ms apart
    sync.putFromPhone({kClipText, false, "text/plain", "never written"});
    Sleep(1000);
    CloseClipboard();
    writeFromPhone({kClipText, false, "text/plain", "written"});
    auto pasted = other.paste();
    EXPECT_EQ(pasted[ClipFormat::UnicodeText], unicodeBlockFromText("written"));
    EXPECT_EQ(log().find("never written"), std::string::npos);
    EXPECT_EQ(log().find("13 bytes"), std::string::npos);
}

TEST(ClipboardSyncLifecycle, StartStopAndHandOverWithoutAThread) {
    ClipboardSync sync;
    sync.stop();                                               // never started
    sync.putFromPhone({kClipText, false, "text/plain", "x"});  // dropped
    int first = 0, second = 0;
    sync.start([&](ClipItem) { ++first; });
    sync.start([&](ClipItem) { ++second; });  // keeps the running thread and its callback
    ASSERT_TRUE(waitUntil([&] { return sync.listening(); }));
    OtherProgram other;
    const uint64_t before = sync.readsDone();
    other.copyText("lifecycle");
    ASSERT_TRUE(waitUntil([&] { return sync.readsDone() > before; }));
    sync.stop();
    EXPECT_FALSE(sync.running());
    sync.stop();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    // Copies handed over while the thread stops are dropped, not written after it.
    sync.start([&](ClipItem) { ++first; });
    for (int i = 0; i < 50; ++i) sync.putFromPhone({kClipText, false, "text/plain", "late"});
    sync.stop();
}

TEST(ClipboardSyncLifecycle, AStopRightAfterTheStartLeavesNoThread) {
    // The owner asks running() whether there is a thread to stop, also while it still starts.
    std::atomic<int> sent{0};
    ClipboardSync sync;
    sync.start([&](ClipItem) { ++sent; });
    EXPECT_TRUE(sync.running());
    sync.stop();
    EXPECT_FALSE(sync.running());
    // A copy that another listener has read reached no thread of the stopped one.
    ClipboardSync witness;
    witness.start([](ClipItem) {});
    ASSERT_TRUE(waitUntil([&] { return witness.listening(); }));
    OtherProgram other;
    const uint64_t before = witness.readsDone();
    other.copyText("after the stop");
    ASSERT_TRUE(waitUntil([&] { return witness.readsDone() > before; }));
    witness.stop();
    EXPECT_EQ(sent.load(), 0);
}

}  // namespace
}  // namespace tov
