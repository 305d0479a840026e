#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "update/tests/update_test_env.h"
#include "update/updater.h"

namespace tov {
namespace {

const char* const kFeedFailed =
    "Tovenmar couldn't reach its update service. It will try again later.";
const char* const kDownloadFailed = "The download didn't finish. Tovenmar will try again later.";
const char* const kSafetyFailed =
    "The downloaded update didn't pass Tovenmar's safety check, so it was deleted.";
const char* const kFeedLate =
    "Tovenmar's update service took too long to answer. It will try again later.";
const char* const kDownloadLate =
    "The download took too long, so Tovenmar stopped it. It will try again later.";

class UpdaterCheckTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(env.server.listening()); }

    // Statuses as the change callback saw them.
    std::vector<UpdateStatus> seen() {
        std::lock_guard lock(seenMutex);
        return statuses;
    }
    bool logHas(const std::string& line) { return env.logText().find(line) != std::string::npos; }
    std::string build(const std::string& tag) { return "MZ build " + tag + std::string(5000, 'x'); }

    test::UpdateTestEnv env;
    std::mutex seenMutex;
    std::vector<UpdateStatus> statuses;
    Updater updater{[this] {
                        const UpdateStatus s = updater.snapshot();
                        std::lock_guard lock(seenMutex);
                        statuses.push_back(s);
                    },
                    env.options()};
};

TEST_F(UpdaterCheckTest, NewestPublishedEqualsCurrentMeansUpToDate) {
    test::FeedRelease pre = env.publishRelease("1.5.0", build("1.5.0"));
    pre.prerelease = true;
    env.publishFeed({env.publishRelease("v1.1.0", build("1.1.0")), pre});
    updater.check();
    const UpdateStatus s = updater.snapshot();
    EXPECT_EQ(s.state, kUpdateUpToDate);
    EXPECT_TRUE(s.version.empty());
    EXPECT_TRUE(s.message.empty());
    EXPECT_GT(s.time, 0);
    EXPECT_EQ(env.server.requestCount("/1.5.0.exe"), 0);
    EXPECT_EQ(env.server.requestCount("/1.5.0.exe.sig"), 0);
    EXPECT_FALSE(isFile(env.folder.notesFile("1.5.0")));
    ASSERT_GE(seen().size(), 2u);
    EXPECT_EQ(seen().front().state, kUpdateChecking);
}

TEST_F(UpdaterCheckTest, TwoNewerReleasesKeepBothNotesAndDownloadTheHigher) {
    env.publishFeed({env.publishRelease("v1.2.0", build("1.2.0")),
                     env.publishRelease("v1.3.0", build("1.3.0"))});
    updater.check();
    const UpdateStatus s = updater.snapshot();
    EXPECT_EQ(s.state, kUpdateReady);
    EXPECT_EQ(s.version, "1.3.0");
    EXPECT_EQ(env.readUpdateFile(env.folder.notesFile("1.2.0")),
              "Tovenmar v1.2.0\n\xE2\x80\xA2  New: things");
    EXPECT_NE(env.readUpdateFile(env.folder.notesFile("1.3.0")), "<missing>");
    EXPECT_EQ(env.readUpdateFile(env.folder.readyFile()), "1.3.0");
    EXPECT_EQ(env.readUpdateFile(env.folder.buildFile("1.3.0")), build("1.3.0"));
    EXPECT_EQ(env.readUpdateFile(env.folder.signatureFile("1.3.0")),
              env.readUpdateFile(env.dir.file(L"www/v1.3.0.exe.sig")));
    EXPECT_FALSE(isFile(env.folder.partFile("1.3.0")));
    EXPECT_EQ(env.server.requestCount("/v1.2.0.exe"), 0);
    EXPECT_TRUE(logHas("update: downloading 1.3.0"));
    EXPECT_TRUE(logHas("update: 1.3.0 is downloaded and checked"));

    // States in order: checking, downloading (with rising percents), ready.
    const std::vector<UpdateStatus> all = seen();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all.front().state, kUpdateChecking);
    EXPECT_EQ(all.back().state, kUpdateReady);
    int lastPercent = -1;
    for (size_t i = 1; i + 1 < all.size(); ++i) {
        EXPECT_EQ(all[i].state, kUpdateDownloading);
        EXPECT_EQ(all[i].version, "1.3.0");
        EXPECT_GT(all[i].percent, lastPercent);  // a callback only when the percent moved
        lastPercent = all[i].percent;
    }
    EXPECT_EQ(lastPercent, 100);
}

TEST_F(UpdaterCheckTest, AReleaseWithoutSignatureIsNotDownloaded) {
    test::FeedRelease release = env.publishRelease("1.2.0", build("1.2.0"));
    release.assets.pop_back();
    env.publishFeed({release});
    updater.check();
    EXPECT_EQ(updater.snapshot().state, kUpdateUpToDate);
    EXPECT_TRUE(logHas("update: 1.2.0 has no Tovenmar.exe or signature yet"));
    EXPECT_EQ(env.server.requestCount("/1.2.0.exe"), 0);
    EXPECT_FALSE(isFile(env.folder.buildFile("1.2.0")));
    EXPECT_FALSE(isFile(env.folder.readyFile()));
}

TEST_F(UpdaterCheckTest, BadSignaturesDeleteBothFiles) {
    const std::string good = test::signBytes(build("1.2.0"));
    std::string flipped = good;
    flipped[10] ^= 0x04;
    for (const std::string& signature : {good.substr(0, 63), good + "\n", flipped}) {
        SCOPED_TRACE(signature.size());
        Updater fresh({}, env.options());
        env.publishFeed({env.publishRelease("1.2.0", build("1.2.0"), &signature)});
        fresh.check();
        const UpdateStatus s = fresh.snapshot();
        EXPECT_EQ(s.state, kUpdateFailed);
        EXPECT_EQ(s.message, kSafetyFailed);
        EXPECT_FALSE(isFile(env.folder.buildFile("1.2.0")));
        EXPECT_FALSE(isFile(env.folder.signatureFile("1.2.0")));
        EXPECT_FALSE(isFile(env.folder.partFile("1.2.0")));
        EXPECT_FALSE(isFile(env.folder.readyFile()));
    }
    EXPECT_TRUE(logHas("update: 1.2.0 failed its signature check; deleted"));
}

TEST_F(UpdaterCheckTest, FeedFailuresEndInTheFailedStateAndTheNextCheckRetries) {
    env.server.setResponse("/feed", test::answer(503, "busy"));
    updater.check();
    EXPECT_EQ(updater.snapshot().state, kUpdateFailed);
    EXPECT_EQ(updater.snapshot().message, kFeedFailed);
    EXPECT_TRUE(logHas("update: 127.0.0.1 answered 503"));

    for (const char* text : {"<html>not json</html>", "{\"releases\":[]}", ""}) {
        env.server.setResponse("/feed", test::answer(200, text));
        updater.check();
        EXPECT_EQ(updater.snapshot().state, kUpdateFailed) << text;
        EXPECT_EQ(updater.snapshot().message, kFeedFailed) << text;
    }

    env.server.setResponse("/feed", test::answer(200, "[]"));
    updater.check();
    EXPECT_EQ(updater.snapshot().state, kUpdateUpToDate);
    EXPECT_TRUE(updater.snapshot().message.empty());
    EXPECT_EQ(env.server.requestCount("/feed"), 5);
}

TEST_F(UpdaterCheckTest, DownloadFailuresLeaveNoPartFileAndRetryFromTheSignature) {
    const std::string content = build("1.2.0");
    test::FeedRelease release = env.publishRelease("1.2.0", content);
    env.publishFeed({release});
    // Build missing, then cut short, then past the size bound.
    env.server.setResponse("/1.2.0.exe", test::answer(404, ""));
    updater.check();
    EXPECT_EQ(updater.snapshot().state, kUpdateFailed);
    EXPECT_EQ(updater.snapshot().message, kDownloadFailed);
    EXPECT_FALSE(isFile(env.folder.partFile("1.2.0")));

    env.server.setResponse("/1.2.0.exe", test::withLength(content.substr(0, 100), content.size()));
    updater.check();
    EXPECT_EQ(updater.snapshot().message, kDownloadFailed);
    EXPECT_FALSE(isFile(env.folder.partFile("1.2.0")));
    EXPECT_FALSE(isFile(env.folder.buildFile("1.2.0")));

    UpdaterOptions small = env.options();
    small.maxBuildBytes = 1000;
    Updater bounded({}, small);
    env.server.setResponse("/1.2.0.exe", test::withoutLength(content));
    bounded.check();
    EXPECT_EQ(bounded.snapshot().message, kDownloadFailed);
    EXPECT_FALSE(isFile(env.folder.partFile("1.2.0")));

    // Signature missing fails before the build is asked for.
    env.server.setResponse("/1.2.0.exe.sig", test::answer(404, ""));
    const int buildRequests = env.server.requestCount("/1.2.0.exe");
    updater.check();
    EXPECT_EQ(updater.snapshot().message, kDownloadFailed);
    EXPECT_EQ(env.server.requestCount("/1.2.0.exe"), buildRequests);

    // Everything back: the next check gets the signature again and finishes.
    env.publishRelease("1.2.0", content);
    env.server.setResponse("/1.2.0.exe", test::answer(200, content));
    env.server.setResponse("/1.2.0.exe.sig", test::answer(200, test::signBytes(content)));
    updater.check();
    EXPECT_EQ(updater.snapshot().state, kUpdateReady);
    EXPECT_EQ(env.server.requestCount("/1.2.0.exe.sig"), 5);
}

TEST_F(UpdaterCheckTest, HostileTagsWriteNothingOutsideTheUpdateFolder) {
    const std::vector<std::string> before = env.allFiles();
    std::vector<test::FeedRelease> releases;
    for (const char* tag : {"1.2.0/../../../escaped", "v1.3.0\\..\\..\\..\\escaped",
                            "1.4.0/../../../app/Tovenmar", "9.9.9/../../ready"}) {
        test::FeedRelease r = env.publishRelease("x", build("x"));
        r.tag = tag;
        releases.push_back(r);
    }
    env.publishFeed(releases);
    updater.check();
    EXPECT_EQ(updater.snapshot().state, kUpdateUpToDate);
    EXPECT_EQ(env.server.requestCount("/x.exe"), 0);
    EXPECT_EQ(env.server.requestCount("/x.exe.sig"), 0);
    EXPECT_EQ(env.allFiles(), before);
    EXPECT_FALSE(isFile(env.dir.file(L"escaped.txt")));
    EXPECT_TRUE(logHas("update: skipped 4 release(s) whose tag is not a plain version"));
}

TEST_F(UpdaterCheckTest, AReadyBuildIsKeptUntilRestart) {
    env.stageReady("1.2.0", build("1.2.0"));
    updater.start(false);
    EXPECT_EQ(updater.snapshot().state, kUpdateReady);
    EXPECT_EQ(updater.snapshot().version, "1.2.0");
    env.publishFeed({env.publishRelease("1.3.0", build("1.3.0"))});
    updater.check();
    updater.checkNow();
    updater.stop();
    EXPECT_EQ(updater.snapshot().state, kUpdateReady);
    EXPECT_EQ(updater.snapshot().version, "1.2.0");
    EXPECT_EQ(env.server.requestCount("/feed"), 0);
}

TEST_F(UpdaterCheckTest, CheckNowWhileDownloadingChangesNothing) {
    const std::string content = build("1.2.0");
    env.publishFeed({env.publishRelease("1.2.0", content)});
    env.server.setResponse("/1.2.0.exe", test::held(content));
    updater.start(false);
    updater.checkNow();
    ASSERT_TRUE(env.server.waitUntilHolding(20000));
    EXPECT_EQ(updater.snapshot().state, kUpdateDownloading);
    // Neither a direct check nor "Check now" starts anything while the download runs.
    updater.check();
    updater.checkNow();
    EXPECT_EQ(updater.snapshot().state, kUpdateDownloading);
    env.server.release();
    ASSERT_TRUE(test::waitFor([&] { return updater.snapshot().state == kUpdateReady; }));
    updater.checkNow();
    // The thread takes the flag at once; a check it started would fetch the feed again.
    sleepMs(200);
    updater.stop();
    EXPECT_EQ(env.server.requestCount("/feed"), 1);
    EXPECT_EQ(env.server.requestCount("/1.2.0.exe"), 1);
    EXPECT_EQ(updater.snapshot().state, kUpdateReady);
}

// A server that drips keeps neither the feed nor the build going past its deadline; the status
// says so plainly, and the next check works as usual.
TEST_F(UpdaterCheckTest, ASlowFeedOrBuildIsGivenUpAtItsDeadline) {
    UpdaterOptions quick = env.options();
    quick.feedDeadline = std::chrono::milliseconds(300);
    quick.buildDeadline = std::chrono::milliseconds(300);
    Updater slow({}, quick);

    // The feed answers at once and then sends a byte every 50 ms: 1.1 s for the whole body.
    env.server.setResponse("/feed", test::dripping("[" + std::string(20, ' ') + "]", 50));
    slow.check();
    EXPECT_EQ(slow.snapshot().state, kUpdateFailed);
    EXPECT_EQ(slow.snapshot().message, kFeedLate);
    EXPECT_TRUE(logHas("update: no whole answer within 300 ms; gave up"));
    ASSERT_TRUE(env.server.waitUntilIdle(20000));

    // The same for the build.
    const std::string content = build("1.2.0");
    env.server.setResponse("/feed",
                           test::answer(200, test::feedJson({env.publishRelease("1.2.0", content)})));
    test::HttpResponse drip = test::dripping(content.substr(0, 20), 50);
    drip.announcedLength = content.size();
    env.server.setResponse("/1.2.0.exe", drip);
    slow.check();
    EXPECT_EQ(slow.snapshot().state, kUpdateFailed);
    EXPECT_EQ(slow.snapshot().message, kDownloadLate);
    EXPECT_FALSE(isFile(env.folder.partFile("1.2.0")));
    ASSERT_TRUE(env.server.waitUntilIdle(20000));

    env.server.setResponse("/1.2.0.exe", test::answer(200, content));
    slow.check();
    EXPECT_EQ(slow.snapshot().state, kUpdateReady);
}

// The feed is not signed: its notes are kept for its ten newest versions, 64 KiB each, and notes
// of newer versions it no longer lists go.
TEST_F(UpdaterCheckTest, ReleaseNotesOnDiskAreBounded) {
    writeFile(env.folder.notesFile("7.0.0"), "from an earlier feed");
    writeFile(env.folder.notesFile("1.0.0"), "kept for What's new");
    std::vector<test::FeedRelease> releases;
    for (int minor = 2; minor < 17; ++minor) {
        test::FeedRelease r;
        r.tag = "1." + std::to_string(minor) + ".0";
        r.body = std::string(100000, 'n') + "\xC3\xA9";  // long, with a two-byte character
        r.body[65535] = '\xC3';  // a character across the 64 KiB mark
        r.body[65536] = '\xA9';
        releases.push_back(r);
    }
    env.publishFeed(releases);
    updater.check();
    EXPECT_EQ(updater.snapshot().state, kUpdateUpToDate);
    size_t notes = 0;
    for (const std::wstring& name : listFiles(env.folder.path())) {
        const std::string version = UpdateFolder::notesVersion(name);
        if (version.empty()) continue;
        ++notes;
        const std::string text = env.readUpdateFile(joinPath(env.folder.path(), name));
        EXPECT_LE(text.size(), 65536u) << version;
    }
    EXPECT_EQ(notes, 11u);  // 1.7.0 to 1.16.0, and 1.0.0
    EXPECT_EQ(env.readUpdateFile(env.folder.notesFile("1.16.0")).size(), 65535u);
    EXPECT_EQ(env.readUpdateFile(env.folder.notesFile("1.7.0")).size(), 65535u);
    EXPECT_FALSE(isFile(env.folder.notesFile("1.6.0")));
    EXPECT_FALSE(isFile(env.folder.notesFile("7.0.0")));
    EXPECT_EQ(env.readUpdateFile(env.folder.notesFile("1.0.0")), "kept for What's new");
}

#ifdef _WIN32
TEST(UpdateFolderPath, AnEmptyLocalAppDataMeansTheUsersOwnFolder) {
    test::ScopedEnv empty(L"LOCALAPPDATA", L"");
    const std::wstring known = knownLocalAppDataFolder();
    ASSERT_FALSE(known.empty());
    EXPECT_EQ(UpdateFolder().path(), joinPath(joinPath(known, L"Tovenmar"), L"update"));
}
#endif

}  // namespace
}  // namespace tov
