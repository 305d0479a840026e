#include "clipboard/clipboard_transfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/log.h"
#include "clipboard/phone_copy.h"
#include "clipboard/tests/memory_clipboard.h"
#include "clipboard/tests/test_pictures.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

class ClipboardTransferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        openLog();
        transfer.setOnPcCopy([this](ClipItem item) { sent.push_back(std::move(item)); });
    }
    void copyText(const char* utf8) {
        clipboard.copy({{ClipFormat::UnicodeText, unicodeBlockFromText(utf8)}});
    }
    // The log holds this whole line (its line ends are the platform's).
    bool logged(const std::string& line) {
        const std::string text = log();
        return text.find(line + "\n") != std::string::npos ||
               text.find(line + "\r\n") != std::string::npos;
    }
    std::string log() {
        std::string s;
        readFile(dir.file(L"Tovenmar") + kPathSep + L"tovenmar.log", s);
        return s;
    }

    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    uint64_t now = 50000;
    ClipboardTransfer transfer{[this] { return now; }};
    test::MemoryClipboard clipboard;
    test::TestCoder coder;
    std::vector<ClipItem> sent;
};

TEST_F(ClipboardTransferTest, ACopyReachesTheCallbackAndTheLog) {
    copyText("hello");
    transfer.readPcCopy(clipboard, coder);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, "hello");
    EXPECT_TRUE(logged("clipboard: PC copy, text/plain, 5 bytes")) << log();
}

TEST_F(ClipboardTransferTest, TheSameDataWithin1500MsIsSentOnce) {
    copyText("twice");
    transfer.readPcCopy(clipboard, coder);
    now += 1499;
    copyText("twice");
    transfer.readPcCopy(clipboard, coder);
    EXPECT_EQ(sent.size(), 1u);
    // Held-back repeats restart the window.
    now += 1499;
    copyText("twice");
    transfer.readPcCopy(clipboard, coder);
    EXPECT_EQ(sent.size(), 1u);
    now += 1500;
    copyText("twice");
    transfer.readPcCopy(clipboard, coder);
    EXPECT_EQ(sent.size(), 2u);
    // Other data goes at once, and the first data is then no repeat.
    copyText("other");
    transfer.readPcCopy(clipboard, coder);
    copyText("twice");
    transfer.readPcCopy(clipboard, coder);
    EXPECT_EQ(sent.size(), 4u);
}

TEST_F(ClipboardTransferTest, ThePhonesCopyIsNotEchoed) {
    transfer.writePhoneCopy(clipboard, coder, {kClipText, false, "text/plain", "from phone"});
    EXPECT_EQ(clipboard.formats.count(ClipFormat::UnicodeText), 1u);
    const int opens = clipboard.opens;
    transfer.readPcCopy(clipboard, coder);
    EXPECT_EQ(clipboard.opens, opens);  // the sequence number alone says it is ours
    // Even when the sequence moved on, the marker keeps it home.
    ASSERT_TRUE(clipboard.open());
    clipboard.put(ClipFormat::Png, "x");
    clipboard.close();
    transfer.readPcCopy(clipboard, coder);
    EXPECT_TRUE(sent.empty());
    // A later copy by someone else is read.
    copyText("from phone");
    transfer.readPcCopy(clipboard, coder);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(logged("clipboard: phone copy, text/plain, 10 bytes"));
}

TEST_F(ClipboardTransferTest, OptionsApplyToTheNextRead) {
    clipboard.copy({{ClipFormat::Png, "picture"}, {ClipFormat::ViewerIgnore, ""}});
    transfer.readPcCopy(clipboard, coder);
    transfer.setOptions(true, false);
    transfer.readPcCopy(clipboard, coder);
    EXPECT_TRUE(sent.empty());
    transfer.setOptions(true, true);
    transfer.readPcCopy(clipboard, coder);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].isPrivate);
    EXPECT_TRUE(logged("clipboard: PC copy, image/png, 7 bytes, private"));
}

TEST_F(ClipboardTransferTest, ABusyClipboardDropsTheWorkSilently) {
    clipboard.busy = true;
    copyText("lost");
    transfer.readPcCopy(clipboard, coder);
    transfer.writePhoneCopy(clipboard, coder, {kClipText, false, "text/plain", "lost too"});
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(clipboard.formats.count(ClipFormat::Marker), 0u);
    EXPECT_EQ(log().find("clipboard:"), std::string::npos);
    // The failed write left no mark, so the next real copy is read.
    clipboard.busy = false;
    transfer.readPcCopy(clipboard, coder);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(ClipboardTransferTest, AFailedWriteIsLogged) {
    transfer.writePhoneCopy(clipboard, coder, {kClipPicture, true, "image/webp", "garbage"});
    EXPECT_TRUE(
        logged("clipboard: phone copy, image/webp, 7 bytes, private (couldn't put it "
               "on the clipboard)"))
        << log();
}

TEST_F(ClipboardTransferTest, APhoneMimeCannotForgeLogLines) {
    const std::string mime = std::string("text/plain\n01:02:03.004  update: ready\0x", 40);
    transfer.writePhoneCopy(clipboard, coder, {kClipText, false, mime, "hi"});
    EXPECT_TRUE(logged("clipboard: phone copy, text/plain?01:02:03.004  update: ready?x, 2 bytes"))
        << log();
}

TEST_F(ClipboardTransferTest, EveryLookCountsAsARead) {
    copyText("sent");
    transfer.readPcCopy(clipboard, coder);
    transfer.readPcCopy(clipboard, coder);  // a repeat
    clipboard.busy = true;
    transfer.readPcCopy(clipboard, coder);
    EXPECT_EQ(transfer.readsDone(), 3u);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(ClipboardTransferTest, WithoutACallbackNothingIsLogged) {
    ClipboardTransfer quiet{[this] { return now; }};
    copyText("nobody listens");
    quiet.readPcCopy(clipboard, coder);
    EXPECT_EQ(log().find("clipboard:"), std::string::npos);
}

}  // namespace
}  // namespace tov
