// The updater: a background thread checks the release feed (15 s after start, then every 6
// hours, or at once on "Check now"), downloads a newer build with its signature into the update
// folder, verifies it and marks it ready. The ready build is swapped in at the next start or
// when the user asks for a restart.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "update/body_sink.h"
#include "update/build_installer.h"
#include "update/feed.h"
#include "update/http_get.h"
#include "update/install_ops.h"
#include "update/update_folder.h"
#include "update/update_status.h"

namespace tov {

// The release feed this build checks: the TOVENMAR_FEED_URL build option, empty for a build
// made without one (it then checks nothing). TOVENMAR_UPDATE_URL replaces it.
extern const char kFeedUrl[];

struct UpdaterOptions {
    std::chrono::milliseconds firstCheck{15'000};
    std::chrono::milliseconds checkInterval{6 * 60 * 60 * 1000};
    // ECCPUBLICBLOB the builds must be signed for; empty means the release key.
    std::string publicKey;
    // The executable an install replaces; empty means this program.
    std::wstring exePath;
    uint64_t maxBuildBytes = kMaxBuildBytes;
    // Overall limits, from the connection to the last byte: the feed and the signature each get
    // feedDeadline, the build buildDeadline. A server that never answers or drips its bytes is
    // given up then, and the next check tries again.
    std::chrono::milliseconds feedDeadline{60'000};
    std::chrono::milliseconds buildDeadline{20 * 60'000};
    // Null means the system's.
    std::shared_ptr<HttpClient> http;
    std::shared_ptr<InstallOps> installOps;
};

class Updater {
  public:
    // `onChange` runs after every status change, on the thread that made it, outside the lock.
    explicit Updater(std::function<void()> onChange = {}, UpdaterOptions options = {});
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // Once, after the settings are loaded: takes the auto flag, enters the ready state when a
    // verified build waits, and starts the thread. With no feed address (the build's or
    // TOVENMAR_UPDATE_URL) it starts no thread and, unless a build is ready, reports kUpdateOff.
    void start(bool autoUpdate);
    // Ends the thread; a request under way is abandoned at once, whatever the server does.
    void stop();
    // The first half of stop(), without waiting: lets other shut-down work overlap with it. No
    // request is started after it.
    void requestStop();
    void checkNow();
    // Takes effect at the next scheduled check.
    void setAuto(bool autoUpdate);
    UpdateStatus snapshot() const;

    // One check of the feed with its download, on the calling thread. Does nothing while a
    // download runs or a build is ready.
    void check();

    // Start-up and exit hooks, run while no updater thread exists.
    void removeOldBuild();
    // True when a ready build was installed and started: this process should end now.
    bool installReadyAtStart();
    // After "Restart now": false with a user message when nothing could be installed.
    bool installReadyAtExit(std::string& message);
    // Starts this program again, after installReadyAtExit failed.
    bool startAgain();

    std::string whatsNewText(const std::string& previousVersion) const;
    void dropOldNotes() const;

  private:
    void loop();
    void enterState(int state, const std::string& version = {}, const std::string& message = {});
    bool download(const std::string& version, const std::string& buildUrl,
                  const std::string& signatureUrl, std::string& signature, bool& late);
    // One GET within `limit`; false at once once a stop was asked. `late`: the limit passed.
    bool fetch(const std::string& url, BodySink& sink, std::chrono::milliseconds limit,
               bool& late);
    void keepNotes(std::vector<ReleaseNotes> notes);
    void reportProgress(uint64_t received, uint64_t length);
    void notifyChange();
    std::string feedUrl() const;

    std::function<void()> onChange_;
    UpdaterOptions options_;
    UpdateFolder folder_;
    BuildInstaller installer_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    UpdateStatus status_;
    bool checkNowFlag_ = false;
    bool stopFlag_ = false;
    std::atomic<bool> auto_{true};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace tov
