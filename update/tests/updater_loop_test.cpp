#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/files.h"
#include "update/tests/update_test_env.h"
#include "update/updater.h"

namespace tov {
namespace {

class UpdaterLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(env.server.listening());
        env.publishFeed({});
    }
    int feedRequests() { return env.server.requestCount("/feed"); }

    test::UpdateTestEnv env;
};

TEST_F(UpdaterLoopTest, AutoChecksAfterTheFirstWaitAndThenAgainAndAgain) {
    Updater updater({}, env.options());
    updater.start(true);
    // The third request alone is not enough: its answer may still be on the way when stop()
    // cuts the check short, so wait until a check after it has also come back up to date.
    EXPECT_TRUE(test::waitFor([&] {
        return feedRequests() >= 3 && updater.snapshot().state == kUpdateUpToDate;
    }));
    updater.stop();
}

TEST_F(UpdaterLoopTest, WithoutAutoOnlyCheckNowChecks) {
    Updater updater({}, env.options());
    updater.start(false);
    sleepMs(300);  // several deadlines pass
    EXPECT_EQ(feedRequests(), 0);
    EXPECT_EQ(updater.snapshot().state, kUpdateNotChecked);
    updater.checkNow();
    EXPECT_TRUE(test::waitFor([&] { return updater.snapshot().state == kUpdateUpToDate; }));
    EXPECT_EQ(feedRequests(), 1);
}

TEST_F(UpdaterLoopTest, TurningAutoOnWaitsForTheNextDeadline) {
    UpdaterOptions options = env.options();
    options.firstCheck = std::chrono::hours(1);
    Updater updater({}, options);
    updater.start(false);
    updater.setAuto(true);
    sleepMs(200);
    EXPECT_EQ(feedRequests(), 0);
    updater.checkNow();
    EXPECT_TRUE(test::waitFor([&] { return feedRequests() == 1; }));
}

TEST_F(UpdaterLoopTest, ABuildWithoutAFeedAsksNoOneUnlessTheTestNamesOne) {
    if (kFeedUrl[0] != '\0') GTEST_SKIP() << "this build checks " << kFeedUrl;
    {
        test::ScopedEnv noOverride(L"TOVENMAR_UPDATE_URL", nullptr);
        Updater updater({}, env.options());
        updater.start(true);
        EXPECT_EQ(updater.snapshot().state, kUpdateOff);
        updater.checkNow();
        sleepMs(300);  // several deadlines would pass
        EXPECT_EQ(updater.snapshot().state, kUpdateOff);
    }
    {
        // The override is the feed.
        Updater updater({}, env.options());
        updater.start(true);
        EXPECT_TRUE(test::waitFor([&] { return feedRequests() >= 1; }));
    }
    // A build made ready earlier is still offered for installing.
    test::ScopedEnv noOverride(L"TOVENMAR_UPDATE_URL", nullptr);
    env.stageReady("1.2.0", "new build");
    Updater updater({}, env.options());
    updater.start(true);
    EXPECT_EQ(updater.snapshot().state, kUpdateReady);
}

TEST_F(UpdaterLoopTest, StoppingDuringADownloadLeavesNoPartFile) {
    const std::string content(300000, 'b');
    env.publishFeed({env.publishRelease("1.2.0", content)});
    env.server.setResponse("/1.2.0.exe", test::held(content));
    Updater updater({}, env.options());
    updater.start(false);
    updater.checkNow();
    ASSERT_TRUE(env.server.waitUntilHolding(20000));
    updater.requestStop();
    env.server.release();
    updater.stop();
    EXPECT_FALSE(isFile(env.folder.partFile("1.2.0")));
    EXPECT_FALSE(isFile(env.folder.readyFile()));
    EXPECT_NE(updater.snapshot().state, kUpdateReady);
}

// Closing must not wait for the feed server: whether it never answers, drips its body or resets
// the connection, stop() ends the check under way while the server still holds on.
TEST_F(UpdaterLoopTest, StopIsPromptWhateverTheFeedServerDoes) {
    struct Hostile {
        const char* what;
        test::HttpResponse response;
        bool reset;
    };
    const Hostile hostile[] = {
        {"never answers", test::held("[]"), false},
        {"drips", test::dripping("[" + std::string(40, ' ') + "]", 250), false},
        {"resets", test::answer(200, "[]"), true},
    };
    for (const Hostile& h : hostile) {
        SCOPED_TRACE(h.what);
        env.server.setResponse("/feed", h.response);
        env.server.resetConnections(h.reset);
        const std::string path = h.reset ? "<reset>" : "/feed";
        const int before = env.server.requestCount(path);
        UpdaterOptions options = env.options();
        options.firstCheck = std::chrono::hours(1);
        Updater updater({}, options);
        updater.start(false);
        updater.checkNow();
        ASSERT_TRUE(test::waitFor([&] { return env.server.requestCount(path) > before; }));
        std::atomic<bool> stopped{false};
        std::thread stopper([&] {
            updater.stop();
            stopped = true;
        });
        EXPECT_TRUE(test::waitFor([&] { return stopped.load(); }, 10000));
        env.server.resetConnections(false);
        env.server.release();
        stopper.join();
        ASSERT_TRUE(env.server.waitUntilIdle(20000));
    }
}

}  // namespace
}  // namespace tov
