// What the updater's tests share: a private LOCALAPPDATA with the log opened in it, a local
// feed server with TOVENMAR_UPDATE_URL pointing at it, a throw-away signing key, and helpers to
// publish releases and read the update folder and the log.
#pragma once

#include <string>
#include <vector>

#include "platform/clock.h"
#include "tests/support/test_support.h"
#include "update/tests/local_http_server.h"
#include "update/update_folder.h"
#include "update/updater.h"

namespace tov::test {

// A key pair made once per test program (never the release key).
const std::string& testPrivateKey();
const std::string& testPublicKey();
// 64-byte r||s over the bytes, with the test key.
std::string signBytes(const std::string& bytes);

struct FeedAsset {
    std::string name;
    std::string url;
};

struct FeedRelease {
    std::string tag;
    std::vector<FeedAsset> assets;
    std::string body;
    bool draft = false;
    bool prerelease = false;
};

std::string feedJson(const std::vector<FeedRelease>& releases);

class UpdateTestEnv {
  public:
    UpdateTestEnv();
    ~UpdateTestEnv();

    // Puts a file on the server as "/<name>" and returns its URL.
    std::string publish(const std::string& name, const std::string& bytes);
    void publishFeed(const std::vector<FeedRelease>& releases);
    // Publishes "<tag>.exe" and "<tag>.exe.sig" (signed with the test key unless a signature
    // is given) and returns the release entry naming them.
    FeedRelease publishRelease(const std::string& tag, const std::string& build,
                               const std::string* signature = nullptr);

    // Leaves a verified build of `version` ready, as a finished download does.
    void stageReady(const std::string& version, const std::string& build);

    // Short waits; the test key; an executable path inside the test folder.
    UpdaterOptions options() const;
    std::wstring appFolder() const;
    std::wstring exePath() const;

    std::string logText() const;
    std::string readUpdateFile(const std::wstring& path) const;
    // Every file under the test's LOCALAPPDATA, as paths relative to it.
    std::vector<std::string> allFiles() const;

    TempDir dir;
    ScopedEnv localAppData{L"LOCALAPPDATA", dir.path()};
    LocalHttpServer server;
    ScopedEnv feedUrl;
    UpdateFolder folder;
};

}  // namespace tov::test
