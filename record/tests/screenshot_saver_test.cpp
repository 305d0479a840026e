// The screenshot saver's faults: nowhere to put the file, a picture that cannot be encoded, a
// file that cannot be written and a busy clipboard each get their sentence.
#include "record/screenshot_saver.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "platform/files.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

class ScreenshotSaverTest : public ::testing::Test {
  protected:
    std::string saveOnce(ScreenshotOptions options) {
        std::mutex lock;
        std::string said;
        options.status = [&](const std::string& text, bool) {
            std::lock_guard guard(lock);
            said = text;
        };
        ScreenshotSaver saver(options);
        saver.save(Bitmap{2, 1, std::string(8, '\x40')});
        test::waitFor([&] {
            std::lock_guard guard(lock);
            return !said.empty();
        });
        saver.stop();
        return said;
    }
    ScreenshotOptions working() {
        ScreenshotOptions o;
        o.newFilePath = [this](const std::wstring&) { return dir.file(L"shot.png"); };
        o.encodePng = [](const Bitmap&) { return std::string("png bytes"); };
        o.copyToClipboard = [](const Bitmap&, const std::string&) { return true; };
        return o;
    }

    test::TempDir dir;
};

TEST_F(ScreenshotSaverTest, EveryFaultIsToldInItsOwnWords) {
    ScreenshotOptions o = working();
    o.newFilePath = [](const std::wstring&) { return std::wstring(); };
    EXPECT_EQ(saveOnce(o),
              "Couldn't save the screenshot: there is no Pictures folder to put it in.");
    o = working();
    o.encodePng = [](const Bitmap&) { return std::string(); };
    EXPECT_EQ(saveOnce(o),
              "Couldn't save the screenshot: the picture couldn't be made into a PNG.");
    EXPECT_FALSE(isFile(dir.file(L"shot.png")));
    o = working();
    o.newFilePath = [this](const std::wstring&) {
        return dir.file(L"missing folder") + L"/shot.png";
    };
    EXPECT_EQ(saveOnce(o), "Couldn't save the screenshot as shot.png.");
    o = working();
    o.copyToClipboard = [](const Bitmap&, const std::string&) { return false; };
    EXPECT_EQ(saveOnce(o),
              "Screenshot saved to Pictures\\Tovenmar\\shot.png; the clipboard was "
              "busy, so it isn't there.");
    std::string written;
    EXPECT_TRUE(readFile(dir.file(L"shot.png"), written));
    EXPECT_EQ(written, "png bytes");
}

}  // namespace
}  // namespace tov
