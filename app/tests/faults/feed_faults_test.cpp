// A hostile update feed: error answers, garbage, cut and endless bodies, nesting meant to exhaust
// the stack, tags that try to climb out of the update folder, and a server that holds its answer.
// The App keeps running and drawing, the updater says it couldn't reach its service (or that the
// program is up to date), no file lands outside the update folder, and the user's files stay.
#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/text.h"
#include "app/tests/faults/fault_rig.h"
#include "update/tests/local_http_server.h"
#include "update/tests/update_test_env.h"
#include "update/update_status.h"

namespace tov::test {
namespace {

constexpr char kGarbage[] = "\x00\xff{[\"tag_name\":";
const char* const kFeedFailed =
    "Tovenmar couldn't reach its update service. It will try again later.";

class FeedFaultTest : public FaultTest {
  protected:
    void SetUp() override {
        FaultTest::SetUp();
        www_ = std::make_unique<TempDir>();
        server_ = std::make_unique<LocalHttpServer>(www_->path());
        ASSERT_TRUE(server_->listening());
        feedUrl_ =
            std::make_unique<ScopedEnv>(L"TOVENMAR_UPDATE_URL", widen(server_->url("/feed")));
    }
    void TearDown() override {
        server_->release();
        FaultTest::TearDown();
    }

    // One check against the feed as it now answers; the updater's status once it is done.
    UpdaterStatus check() {
        const int before = server_->requestCount("/feed");
        app_->checkNow();
        EXPECT_TRUE(waitFor([&] { return server_->requestCount("/feed") > before; }, 20s));
        return modelWhen(
                   [](const PanelModel& m) {
                       return m.updater.state == kUpdateFailed ||
                              m.updater.state == kUpdateUpToDate;
                   },
                   60s)
            .updater;
    }

    std::unique_ptr<TempDir> www_;
    std::unique_ptr<LocalHttpServer> server_;
    std::unique_ptr<ScopedEnv> feedUrl_;
};

std::vector<std::string> filesUnder(const std::wstring& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(narrow(folder))) {
        if (entry.is_regular_file()) {
            files.push_back(
                std::filesystem::relative(entry.path(), narrow(folder)).generic_string());
        }
    }
    return files;
}

TEST_F(FeedFaultTest, HostileFeedsLeaveTheAppRunningAndTheFilesAlone) {
    ASSERT_TRUE(startApp());

    struct Hostile {
        const char* what;
        HttpResponse response;
    };
    const Hostile failing[] = {
        {"server error", answer(500, "oops")},
        {"not found", answer(404)},
        {"garbage", answer(200, std::string(kGarbage, sizeof kGarbage - 1))},
        {"cut short", withLength("[{\"tag_name\":\"v9.0.0\"", 1u << 30)},
        {"no length, cut", withoutLength("[{\"tag_name\":\"v9.0.0\",\"assets\":[")},
        {"deep nesting", answer(200, std::string(200000, '['))},
        {"endless body", answer(200, "[" + std::string(40u << 20, ' '))},
        {"wrong shape", answer(200, "{\"message\":\"API rate limit exceeded\"}")},
    };
    for (const Hostile& hostile : failing) {
        SCOPED_TRACE(hostile.what);
        server_->setResponse("/feed", hostile.response);
        const UpdaterStatus status = check();
        EXPECT_EQ(status.state, kUpdateFailed);
        EXPECT_EQ(status.message, kFeedFailed);
        EXPECT_NE(app_->buildModel().linkState, LinkState::Stopped);
    }

    // Tags that are no plain version are skipped: nothing to do, nothing written for them.
    FeedRelease climbing;
    climbing.tag = "v9.9.9/../../../../evil";
    climbing.body = "# gotcha";
    climbing.assets = {{"Tovenmar.exe", server_->url("/evil.exe")},
                       {"Tovenmar.exe.sig", server_->url("/evil.sig")}};
    FeedRelease backslash = climbing;
    backslash.tag = "9.9.9\\..\\..\\evil";
    server_->setResponse("/feed", answer(200, feedJson({climbing, backslash})));
    UpdaterStatus status = check();
    EXPECT_EQ(status.state, kUpdateUpToDate);

    // A build whose signature is not the release key's is deleted after the download.
    FeedRelease forged;
    forged.tag = "99999999999999999999.0.0";
    forged.assets = {{"Tovenmar.exe", server_->url("/forged.exe")},
                     {"Tovenmar.exe.sig", server_->url("/forged.sig")}};
    server_->setResponse("/forged.exe", answer(200, std::string(100000, 'M')));
    server_->setResponse("/forged.sig", answer(200, std::string(64, 's')));
    server_->setResponse("/feed", answer(200, feedJson({forged, climbing})));
    status = check();
    EXPECT_EQ(status.state, kUpdateFailed);
    EXPECT_EQ(status.message,
              "The downloaded update didn't pass Tovenmar's safety check, so it was deleted.");
    for (const std::string& file : filesUnder(dir_.path())) {
        EXPECT_EQ(file.find("evil"), std::string::npos) << file;
        EXPECT_EQ(file.find(".."), std::string::npos) << file;
        EXPECT_EQ(file.find(".exe"), std::string::npos) << file;
    }

    // A server that holds its answer: the App keeps answering meanwhile.
    server_->setResponse("/feed", held("[]"));
    app_->checkNow();
    ASSERT_TRUE(server_->waitUntilHolding(20000));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(app_->buildModel().updater.state, kUpdateChecking);
        std::this_thread::sleep_for(20ms);
    }
    server_->release();
    status = modelWhen([](const PanelModel& m) { return m.updater.state == kUpdateUpToDate; }, 30s)
                 .updater;
    EXPECT_EQ(status.state, kUpdateUpToDate);

    stopAppKeepingUserFiles();
    for (const std::string& file : filesUnder(dir_.path())) {
        EXPECT_TRUE(file == "settings.ini" || file == "shortcuts.ini" ||
                    file.rfind("Tovenmar/", 0) == 0)
            << file;
    }
}

// Closing the panel ends the App at once whatever the feed server does while a check runs: it
// never answers, it drips its body, or it resets the connection.
TEST_F(FeedFaultTest, ClosingIsQuickWhateverTheFeedServerDoes) {
    struct Hostile {
        const char* what;
        HttpResponse response;
        bool reset;
    };
    const Hostile hostile[] = {
        {"never answers", held("[]"), false},
        {"drips", dripping("[" + std::string(40, ' ') + "]", 250), false},
        {"resets", answer(200, "[]"), true},
    };
    for (const Hostile& h : hostile) {
        SCOPED_TRACE(h.what);
        server_->setResponse("/feed", h.response);
        server_->resetConnections(h.reset);
        ASSERT_TRUE(startApp());
        const std::string path = h.reset ? "<reset>" : "/feed";
        const int before = server_->requestCount(path);
        app_->checkNow();
        ASSERT_TRUE(waitFor([&] { return server_->requestCount(path) > before; }, 20s));
        if (h.response.hold) {
            ASSERT_TRUE(server_->waitUntilHolding(20000));
        }
        // The server still holds on while the App closes.
        std::atomic<bool> closed{false};
        std::thread ui([&] {
            app_->shutdown();
            closed = true;
        });
        EXPECT_TRUE(waitFor([&] { return closed.load(); }, 10s));
        server_->resetConnections(false);
        server_->release();
        ui.join();
        app_.reset();
        ASSERT_TRUE(server_->waitUntilIdle(20000));
    }
}

}  // namespace
}  // namespace tov::test
