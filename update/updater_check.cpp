// Updater::check: the feed, the download and the verification.
#include <algorithm>
#include <map>

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
const char* const kFeedLateMessage =
    "Tovenmar's update service took too long to answer. It will try again later.";
const char* const kDownloadLateMessage =
    "The download took too long, so Tovenmar stopped it. It will try again later.";

// The feed is not signed: what it makes Tovenmar keep on disk is bounded. Notes are kept for the
// newest kNotesVersions versions it lists, each cut to kNotesBytes.
constexpr size_t kNotesVersions = 10;
constexpr size_t kNotesBytes = 64 * 1024;

// At most kNotesBytes, cut before a UTF-8 sequence rather than inside one.
std::string boundedNotes(std::string text) {
    if (text.size() <= kNotesBytes) return text;
    size_t cut = kNotesBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    return text;
}

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
    bool late = false;
    FeedReading feed;
    if (fetch(feedUrl(), feedSink, options_.feedDeadline, late)) {
        feed = readFeed(text, kCurrentVersion);
    }
    if (!feed.valid) {
        enterState(kUpdateFailed, {}, late ? kFeedLateMessage : kFeedFailedMessage);
        return;
    }
    if (feed.oddTags > 0) {
        logLine("update: skipped %d release(s) whose tag is not a plain version", feed.oddTags);
    }
    keepNotes(std::move(feed.notes));
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
    if (!download(version, feed.buildUrl, feed.signatureUrl, signature, late)) {
        deleteFile(folder_.partFile(version));
        enterState(kUpdateFailed, {}, late ? kDownloadLateMessage : kDownloadFailedMessage);
        return;
    }
    const std::wstring build = folder_.buildFile(version);
    if (!verifyBuild(build, signature, options_.publicKey)) {
        deleteFile(build);
        deleteFile(folder_.signatureFile(version));
        // Logged once the files are gone, so "deleted" is true when a reader sees it.
        logLine("update: %s failed its signature check; deleted", version.c_str());
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
                       const std::string& signatureUrl, std::string& signature, bool& late) {
    BodySink signatureSink(signature, kMaxInMemoryBytes);
    if (!fetch(signatureUrl, signatureSink, options_.feedDeadline, late) ||
        !writeFile(folder_.signatureFile(version), signature)) {
        return false;
    }
    const std::wstring part = folder_.partFile(version);
    BodySink buildSink(part, options_.maxBuildBytes);
    buildSink.setProgress(
        [this](uint64_t received, uint64_t length) { reportProgress(received, length); });
    if (!fetch(buildUrl, buildSink, options_.buildDeadline, late)) return false;
    // A build that cannot be moved into place counts as a download that did not finish.
    return moveFile(part, folder_.buildFile(version), true);
}

bool Updater::fetch(const std::string& url, BodySink& sink, std::chrono::milliseconds limit,
                    bool& late) {
    late = false;
    // A stop asked before this request opens it not at all (the client refuses it too).
    if (stopping_) return false;
    sink.setKeepGoing([this] { return !stopping_; });
    sink.setDeadline(BodySink::Clock::now() + limit);
    if (options_.http->get(url, sink)) return true;
    if (!stopping_ && sink.pastDeadline()) {
        late = true;
        logLine("update: no whole answer within %lld ms; gave up",
                static_cast<long long>(limit.count()));
    }
    return false;
}

void Updater::keepNotes(std::vector<ReleaseNotes> notes) {
    // One text per version as written in the feed (a later entry replaces an earlier one), the
    // newest versions first.
    std::map<std::string, std::string> byVersion;
    for (ReleaseNotes& entry : notes) byVersion[entry.version] = std::move(entry.text);
    std::vector<std::string> versions;
    for (const auto& [version, text] : byVersion) versions.push_back(version);
    std::stable_sort(versions.begin(), versions.end(), [](const std::string& a,
                                                          const std::string& b) {
        return compareVersions(a, b) > 0;
    });
    if (versions.size() > kNotesVersions) versions.resize(kNotesVersions);
    for (const std::string& version : versions) {
        writeFile(folder_.notesFile(version), boundedNotes(std::move(byVersion[version])));
    }
    // Notes of newer versions that the feed no longer lists go, so that checks against a feed
    // with ever new versions cannot pile them up.
    const std::wstring dir = folder_.path();
    for (const std::wstring& name : listFiles(dir)) {
        const std::string version = UpdateFolder::notesVersion(name);
        if (version.empty() || compareVersions(version, kCurrentVersion) <= 0) continue;
        if (std::find(versions.begin(), versions.end(), version) == versions.end()) {
            deleteFile(joinPath(dir, name));
        }
    }
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
