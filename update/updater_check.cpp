// Updater::check: the feed, the download and the verification.
#include "core/log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "update/feed.h"
#include "update/signature.h"
#include "update/updater.h"
#include "update/version.h"

namespace tov {
namespace {

const char* const kFeedFailedMessage =
    "Tovenmar couldn't reach its update service. It will try again later.";
const char* const kDownloadFailedMessage =
    "The download didn't finish. Tovenmar will try again later.";
const char* const kBadSignatureMessage =
    "The downloaded update didn't pass Tovenmar's safety check, so it was deleted.";

}  // namespace

std::string Updater::feedUrl() const {
    const std::wstring value = getEnv(L"TOVENMAR_UPDATE_URL");
    if (!value.empty() && value.size() < 2048) return narrow(value);
    return kFeedUrl;
}

void Updater::check() {
    {
        // A download under way or a ready build stays as it is until a restart.
        std::lock_guard lock(mutex_);
        if (status_.state == kUpdateDownloading || status_.state == kUpdateReady) return;
        status_.state = kUpdateChecking;
        status_.version.clear();
        status_.message.clear();
        status_.percent = 0;
    }
    notifyChange();

    std::string text;
    BodySink feedSink(text, kMaxInMemoryBytes);
    feedSink.setKeepGoing([this] { return !stopping_; });
    FeedReading feed;
    if (options_.http->get(feedUrl(), feedSink)) feed = readFeed(text, kCurrentVersion);
    if (!feed.valid) {
        enterState(kUpdateFailed, {}, kFeedFailedMessage);
        return;
    }
    if (feed.oddTags > 0) {
        logLine("update: skipped %d release(s) whose tag is not a plain version", feed.oddTags);
    }
    for (const ReleaseNotes& notes : feed.notes) {
        writeFile(folder_.notesFile(notes.version), notes.text);
    }
    const std::string& version = feed.bestVersion;
    if (version.empty()) {
        enterState(kUpdateUpToDate);
        return;
    }
    if (feed.buildUrl.empty() || feed.signatureUrl.empty()) {
        logLine("update: %s has no Tovenmar.exe or signature yet", version.c_str());
        enterState(kUpdateUpToDate);
        return;
    }

    logLine("update: downloading %s", version.c_str());
    enterState(kUpdateDownloading, version);
    std::string signature;
    if (!download(version, feed.buildUrl, feed.signatureUrl, signature)) {
        deleteFile(folder_.partFile(version));
        enterState(kUpdateFailed, {}, kDownloadFailedMessage);
        return;
    }
    const std::wstring build = folder_.buildFile(version);
    if (!verifyBuild(build, signature, options_.publicKey)) {
        logLine("update: %s failed its signature check; deleted", version.c_str());
        deleteFile(build);
        deleteFile(folder_.signatureFile(version));
        enterState(kUpdateFailed, {}, kBadSignatureMessage);
        return;
    }
    // Without ready.txt the next start would not find the build: not ready after all.
    if (!writeFile(folder_.readyFile(), version)) {
        logLine("update: couldn't write ready.txt for %s", version.c_str());
        enterState(kUpdateFailed, {}, kDownloadFailedMessage);
        return;
    }
    logLine("update: %s is downloaded and checked", version.c_str());
    enterState(kUpdateReady, version);
}

bool Updater::download(const std::string& version, const std::string& buildUrl,
                       const std::string& signatureUrl, std::string& signature) {
    const auto keepGoing = [this] { return !stopping_; };
    BodySink signatureSink(signature, kMaxInMemoryBytes);
    signatureSink.setKeepGoing(keepGoing);
    if (!options_.http->get(signatureUrl, signatureSink) ||
        !writeFile(folder_.signatureFile(version), signature)) {
        return false;
    }
    const std::wstring part = folder_.partFile(version);
    BodySink buildSink(part, options_.maxBuildBytes);
    buildSink.setKeepGoing(keepGoing);
    buildSink.setProgress(
        [this](uint64_t received, uint64_t length) { reportProgress(received, length); });
    if (!options_.http->get(buildUrl, buildSink)) return false;
    // A build that cannot be moved into place counts as a download that did not finish.
    return moveFile(part, folder_.buildFile(version), true);
}

void Updater::reportProgress(uint64_t received, uint64_t length) {
    if (length == 0) return;
    const int percent = static_cast<int>(received * 100 / length);
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        if (status_.state == kUpdateDownloading && status_.percent != percent) {
            status_.percent = percent;
            changed = true;
        }
    }
    if (changed) notifyChange();
}

}  // namespace tov
