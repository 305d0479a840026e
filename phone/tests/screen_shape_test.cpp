#include "phone/screen_shape.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "core/log.h"
#include "phone/tests/fake_adb.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

TEST(ShapePlan, KeepsTheShortSideAndCutsTheLongOneToAnEvenLength) {
    const SizeText portrait{1080, 2400};
    ShapePlan p = planShape(16.0 / 9.0, portrait);
    ASSERT_EQ(p.action, ShapePlan::Action::Resize);
    EXPECT_EQ(sizeText(p.size.width, p.size.height), "1080x1920");
    p = planShape(2133.0 / 1080.0, portrait);
    EXPECT_EQ(sizeText(p.size.width, p.size.height), "1080x2132");
    p = planShape(16.0 / 9.0, SizeText{2400, 1080});
    EXPECT_EQ(sizeText(p.size.width, p.size.height), "1920x1080");
    EXPECT_EQ(planShape(2.5, portrait).action, ShapePlan::Action::TooWide);
    EXPECT_EQ(planShape(2400.0 / 1080.0, portrait).action, ShapePlan::Action::TooWide);
    EXPECT_EQ(planShape(1e300, portrait).action, ShapePlan::Action::TooWide);
    for (double bad : {0.0, -2.0, 0.5, std::nan(""), double(INFINITY)}) {
        EXPECT_EQ(planShape(bad, portrait).action, ShapePlan::Action::Restore) << bad;
    }
}

TEST(WmSizeAnswer, ReadsThePhysicalSizeAndAnOverride) {
    auto s = parseWmSize("Physical size: 1080x2400\r\nOverride size: 1080x2000\r\n");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->physical.height, 2400);
    ASSERT_TRUE(s->override);
    EXPECT_EQ(s->override->height, 2000);
    s = parseWmSize("Physical size: 1440x3200\n");
    ASSERT_TRUE(s);
    EXPECT_FALSE(s->override);
    EXPECT_FALSE(parseWmSize("Override size: 1080x2000\n"));
    EXPECT_FALSE(parseWmSize("error: no devices/emulators found\n"));
    EXPECT_FALSE(parseWmSize("Physical size: 0x0\n"));
}

// A phone "-s P " whose wm size state follows the commands run on it.
class ScreenShapeTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    const std::wstring settings = dir.file(L"settings.ini");
    test::FakeAdb adb;
    std::unique_ptr<ScreenShape> shape;

    std::mutex m;
    std::wstring prefix = L"-s P ";
    SizeText physical{1080, 2400};
    std::optional<SizeText> override;
    bool wmWorks = true;
    // Each size change as it reached the phone, with the [phone] keys on disk at that moment.
    struct Change {
        std::string size;
        std::string resizedOnDisk;
        std::string originalOnDisk;
    };
    std::vector<Change> changes;

    void SetUp() override {
        openLog();
        adb.onRun = [this](const std::wstring& args) { phoneRuns(args); };
        answerWm();
    }
    void TearDown() override { shape.reset(); }

    void make(uint32_t retryMs = 20, uint32_t finishMs = 5000) {
        ScreenShape::Options options;
        options.retryMs = retryMs;
        options.finishLimitMs = finishMs;
        options.runAdb = adb.runner();
        options.findAdb = [] { return std::wstring(L"adb"); };
        shape = std::make_unique<ScreenShape>(
            settings,
            [this] {
                std::lock_guard lock(m);
                return prefix;
            },
            options);
    }
    std::string key(const wchar_t* name) {
        return narrow(ini::getString(settings, L"phone", name, L"", 65));
    }
    // The phone's answer to "wm size" from its state; the state is shared with the worker.
    void answerWm() {
        std::string out;
        bool works = false;
        {
            std::lock_guard lock(m);
            out = "Physical size: " + sizeText(physical.width, physical.height) + "\n";
            if (override) {
                out += "Override size: " + sizeText(override->width, override->height) + "\n";
            }
            works = wmWorks;
        }
        adb.answer(L"-s P shell wm size", works, works ? out : "error: closed\n");
    }
    void setWmWorks(bool works) {
        {
            std::lock_guard lock(m);
            wmWorks = works;
        }
        answerWm();
    }
    void phoneRuns(const std::wstring& args) {
        const std::wstring set = L"-s P shell wm size ";
        if (args.compare(0, set.size(), set) != 0) return;
        const std::string size = narrow(args.substr(set.size()));
        {
            std::lock_guard lock(m);
            changes.push_back({size, key(L"resized"), key(L"original")});
            if (size == "reset") {
                override.reset();
            } else {
                override = readSize(size);
            }
        }
        adb.answer(args, true, "");
        answerWm();
    }
    std::vector<Change> changesSoFar() {
        std::lock_guard lock(m);
        return changes;
    }
    template <class Condition>
    bool eventually(Condition condition) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return condition();
    }
    std::string log() {
        std::string text;
        readFile(joinPath(joinPath(dir.path(), L"Tovenmar"), L"tovenmar.log"), text);
        return text;
    }
};

TEST_F(ScreenShapeTest, ResizesWithBothKeysOnDiskFirstAndPutsBackAtFinish) {
    make();
    shape->setShape(16.0 / 9.0);
    ASSERT_TRUE(eventually([&] {
        return shape->shapeText() ==
               "Phone set to 1080x1920 while streaming; Stop stream puts it back.";
    }));
    auto seen = changesSoFar();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].size, "1080x1920");
    EXPECT_EQ(seen[0].resizedOnDisk, "1080x1920");
    EXPECT_EQ(seen[0].originalOnDisk, "");
    EXPECT_EQ(key(L"resized"), "1080x1920");

    EXPECT_TRUE(shape->finish());
    seen = changesSoFar();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].size, "reset");
    EXPECT_EQ(key(L"resized"), "");
    EXPECT_EQ(shape->shapeText(), "");
    const std::string text = log();
    EXPECT_NE(text.find("phone: screen resized to 1080x1920 for the stream"), std::string::npos);
    EXPECT_NE(text.find("phone: screen size put back (reset)"), std::string::npos);
}

TEST_F(ScreenShapeTest, AShapeAsWideAsThePhoneLeavesItAlone) {
    make();
    shape->setShape(2.5);
    ASSERT_TRUE(eventually([&] {
        return shape->shapeText() ==
               "That shape is as wide as the phone or wider, so the phone stays as it is.";
    }));
    EXPECT_TRUE(changesSoFar().empty());
    EXPECT_EQ(key(L"resized"), "");
    EXPECT_TRUE(shape->finish());
}

TEST_F(ScreenShapeTest, TheFirstOriginalOverrideIsKeptAcrossChangesAndRestored) {
    {
        std::lock_guard lock(m);
        override = SizeText{1080, 2000};
    }
    answerWm();
    make();
    shape->setShape(16.0 / 9.0);
    ASSERT_TRUE(eventually([&] { return changesSoFar().size() == 1; }));
    EXPECT_EQ(changesSoFar()[0].originalOnDisk, "1080x2000");
    shape->setShape(2133.0 / 1080.0);
    ASSERT_TRUE(eventually([&] { return changesSoFar().size() == 2; }));
    EXPECT_EQ(changesSoFar()[1].size, "1080x2132");
    EXPECT_EQ(changesSoFar()[1].originalOnDisk, "1080x2000");
    shape->setShape(0);
    ASSERT_TRUE(eventually([&] { return changesSoFar().size() == 3; }));
    EXPECT_EQ(changesSoFar()[2].size, "1080x2000");
    ASSERT_TRUE(eventually([&] { return key(L"original").empty() && key(L"resized").empty(); }));
    EXPECT_NE(log().find("phone: screen size put back (1080x2000)"), std::string::npos);
}

TEST_F(ScreenShapeTest, AnEarlierRunsSizeIsPutBackOnceAPhoneIsChosen) {
    ini::writeString(settings, L"phone", L"resized", L"1080x1920");
    ini::writeString(settings, L"phone", L"original", L"1080x2000");
    {
        std::lock_guard lock(m);
        prefix.clear();
    }
    make();
    EXPECT_NE(log().find("phone: still resized to 1080x1920 from an earlier run; putting it back"),
              std::string::npos);
    // No phone yet: the worker keeps trying without touching the keys.
    ASSERT_TRUE(eventually([&] { return adb.calls().empty() && key(L"resized") == "1080x1920"; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(adb.calls().empty());
    {
        std::lock_guard lock(m);
        prefix = L"-s P ";
    }
    ASSERT_TRUE(eventually([&] { return key(L"resized").empty(); }));
    ASSERT_EQ(changesSoFar().size(), 1u);
    EXPECT_EQ(changesSoFar()[0].size, "1080x2000");
    EXPECT_TRUE(shape->finish());
}

TEST_F(ScreenShapeTest, AStoredSizeThatIsNotASizeIsNeverSentToTheShell) {
    ini::writeString(settings, L"phone", L"resized", L"1080x1920");
    ini::writeString(settings, L"phone", L"original", L"1080x2000; reboot");
    make();
    ASSERT_TRUE(eventually([&] { return key(L"resized").empty(); }));
    ASSERT_EQ(changesSoFar().size(), 1u);
    EXPECT_EQ(changesSoFar()[0].size, "reset");
}

TEST_F(ScreenShapeTest, FailuresAreRetriedUntilThePhoneAnswers) {
    setWmWorks(false);
    make();
    shape->setShape(16.0 / 9.0);
    ASSERT_TRUE(adb.waitForCalls(L"-s P shell wm size", 3, std::chrono::seconds(20)));
    EXPECT_TRUE(changesSoFar().empty());
    setWmWorks(true);
    ASSERT_TRUE(eventually([&] { return changesSoFar().size() == 1; }));
    EXPECT_EQ(changesSoFar()[0].size, "1080x1920");
    for (uint32_t t : adb.timeouts()) EXPECT_EQ(t, 10000u);
}

TEST_F(ScreenShapeTest, RatiosThatMeanNothingLeaveThePhoneAlone) {
    make();
    shape->setShape(std::nan(""));
    shape->setShape(0.25);
    shape->setShape(-1);
    EXPECT_TRUE(shape->finish());
    EXPECT_TRUE(adb.calls().empty());
}

// With the real intervals: a put-back that the phone refuses is tried again by itself, and
// finish gives up after its limit and leaves the keys for the next run. The program is closing
// then: the worker runs no more adb, so it can be joined at once.
TEST_F(ScreenShapeTest, DefaultIntervalsRetryAndFinishGivesUp) {
    ini::writeString(settings, L"phone", L"resized", L"1080x1920");
    setWmWorks(false);
    ScreenShape::Options defaults;
    EXPECT_EQ(defaults.retryMs, 2000u);
    EXPECT_EQ(defaults.finishLimitMs, 5000u);
    make(defaults.retryMs, defaults.finishLimitMs);
    ASSERT_TRUE(adb.waitForCalls(L"-s P shell wm size", 2, std::chrono::seconds(20)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(shape->finish());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
    EXPECT_EQ(key(L"resized"), "1080x1920");
    const size_t calls = adb.calls().size();
    setWmWorks(true);
    shape.reset();
    EXPECT_EQ(adb.calls().size(), calls);
    EXPECT_EQ(key(L"resized"), "1080x1920");
}

}  // namespace
}  // namespace tov
