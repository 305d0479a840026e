#include "phone/file_sender.h"

#include "core/file_name.h"
#include "core/log.h"
#include "phone/download_folder.h"
#include "phone/file_transfer.h"
#include "phone/output_text.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"

namespace tov {
namespace {

constexpr uint32_t kQuestionLimitMs = 10000;  // a listing or a size asked of the phone
// A copy whose name keeps being taken while it is named is given up after this many names.
constexpr int kNamingTries = 3;

}  // namespace

struct FileSender::Outcome {
    TransferOutcome result;
    std::string phoneName;  // a copy's name on the phone
};

FileSender::FileSender(FileSenderOptions options) : options_(std::move(options)) {}

void FileSender::send(const std::string& serial, const std::vector<std::wstring>& paths) {
    if (paths.empty()) return;
    if (serial.empty()) {
        logLine("files: %zu dropped with no phone chosen", paths.size());
        tell(noPhoneText(), true);
        return;
    }
    // One drop is one batch: all of it is queued before its first file begins, so the worker
    // never takes the batch as over after its first file.
    std::vector<std::function<void()>> batch;
    for (const std::wstring& path : paths) {
        batch.push_back([this, serial, path] { sendOne(serial, path); });
    }
    jobs_.post(std::move(batch));
}

void FileSender::stop() {
    cancel_.cancel();
    jobs_.stop();
}

void FileSender::tell(const std::string& text, bool failed) {
    if (!cancel_.cancelled() && options_.status) options_.status(text, failed);
}

void FileSender::sendOne(const std::string& serial, const std::wstring& path) {
    const TransferKind kind = transferKind(path);
    const std::string name = displayName(path);
    const std::string utf8Path = narrow(path);
    ++batchTotal_;
    tell(transferStartText(kind, name, jobs_.waiting()), false);

    Outcome outcome;
    const std::wstring adb = options_.findAdb ? options_.findAdb() : std::wstring();
    if (isDirectory(path)) {
        outcome.result.reason = "it's a folder; drop the files in it instead";
    } else if (!isFile(path)) {
        outcome.result.reason = "it's no longer there";
    } else if (adb.empty()) {
        outcome.result.reason = "adb is missing";
    } else {
        {
            const CommandCancelScope cutAtStop(cancel_);
            outcome = kind == TransferKind::Install ? install(serial, adb, path)
                                                    : copy(serial, adb, path, name);
        }
        if (cancel_.cancelled()) {
            logLine("files: %s cut short by the shut-down", utf8Path.c_str());
            return;
        }
    }

    if (outcome.result.ok) {
        ++batchSent_;
        logLine("files: %s done", utf8Path.c_str());
        const std::string phoneName =
            outcome.phoneName.empty() ? std::string() : displayName(widen(outcome.phoneName));
        tell(transferDoneText(kind, name, phoneName), false);
    } else {
        lastFailure_ = transferFailedText(kind, name, outcome.result.reason);
        logLine("files: %s failed: %s", utf8Path.c_str(), outcome.result.reason.c_str());
        tell(lastFailure_, true);
    }
    if (jobs_.waiting() == 0) {
        // The batch is over: with several files, a failure early on is not lost behind the
        // successes that followed it.
        if (batchTotal_ > 1 && !lastFailure_.empty()) {
            tell(batchText(batchSent_, batchTotal_, lastFailure_), true);
        }
        batchTotal_ = batchSent_ = 0;
        lastFailure_.clear();
    }
}

FileSender::Outcome FileSender::install(const std::string& serial, const std::wstring& adb,
                                        const std::wstring& path) {
    logLine("files: installing %s on %s", narrow(path).c_str(), serial.c_str());
    const uint32_t limit = installTimeoutMs(fileSize(path));
    std::string output;
    const uint64_t start = tickMs();
    const bool exitedOk =
        options_.runAdb(adb, adbPrefix(serial) + installArgs(path), &output, limit);
    logLine("files: adb said: %s", logExcerpt(trimTrailing(output), 300).c_str());
    return {judgeTransfer(TransferKind::Install, exitedOk, output,
                          !exitedOk && tickMs() - start >= limit),
            {}};
}

// What the Download folder holds now; false (with adb's word in `outcome`) when it could not be
// listed. A phone without the folder yet has nothing in it: the copy makes it.
bool FileSender::listDownloads(const std::wstring& adb, const std::wstring& prefix,
                               std::vector<std::string>& names, TransferOutcome& outcome) {
    std::string listing;
    const uint64_t asked = tickMs();
    if (!options_.runAdb(adb, prefix + downloadListingArgs(), &listing, kQuestionLimitMs) &&
        !contains(listing, "No such file")) {
        logLine("files: the Download folder could not be listed: %s",
                logExcerpt(trimTrailing(listing), 300).c_str());
        outcome =
            judgeTransfer(TransferKind::Push, false, listing, tickMs() - asked >= kQuestionLimitMs);
        return false;
    }
    names = folderNames(listing);
    return true;
}

// Nothing on the phone is replaced: the copy arrives under a hidden name of its own, and takes a
// name the Download folder does not have only once it is whole, by a rename that never replaces,
// so a file that took that name meanwhile is kept. It runs as long as its file keeps growing.
FileSender::Outcome FileSender::copy(const std::string& serial, const std::wstring& adb,
                                     const std::wstring& path, const std::string& name) {
    const std::wstring prefix = adbPrefix(serial);
    std::vector<std::string> names;
    Outcome outcome;
    if (!listDownloads(adb, prefix, names, outcome.result)) return outcome;
    const std::string wanted = fileName(path);
    const std::string partPath =
        kPhoneDownloadFolder + freeName("." + wanted + ".tovenmar-part", names);
    logLine("files: copying %s to %s on %s", narrow(path).c_str(), partPath.c_str(),
            serial.c_str());

    const CopyRules rules = options_.copyRules;
    const uint64_t start = tickMs();
    CopyProgress progress(fileSize(path), start, rules);
    uint64_t lastLook = start;
    int shown = -1;
    std::string stopReason;
    const auto watch = [&] {
        if (tickMs() - lastLook < rules.lookEveryMs) return true;
        std::string answer;
        options_.runAdb(adb, prefix + phoneFileSizeArgs(partPath), &answer, kQuestionLimitMs);
        lastLook = tickMs();
        const PhoneFileSize size = readPhoneFileSize(answer);
        if (size.kind == PhoneFileSize::Kind::PhoneGone) {
            stopReason = phoneGoneReason();
            return false;
        }
        progress.observe(lastLook, size);
        if (progress.stalled(lastLook)) {
            stopReason = stalledReason(rules.stallMs);
            return false;
        }
        const int percent = progress.percent(lastLook);
        if (percent >= 0 && percent != shown) {
            shown = percent;
            tell(copyProgressText(name, percent, jobs_.waiting()), false);
        }
        return true;
    };
    std::string output;
    const bool exitedOk =
        options_.runAdbWatched(adb, prefix + pushArgs(path, partPath), &output, watch);
    logLine("files: adb said: %s", logExcerpt(trimTrailing(output), 300).c_str());
    if (!stopReason.empty()) return {{false, stopReason}, {}};
    outcome.result = judgeTransfer(TransferKind::Push, exitedOk, output, false);
    if (!outcome.result.ok) return outcome;
    outcome.result = giveName(adb, prefix, partPath, wanted, names, outcome.phoneName);
    if (outcome.result.ok && outcome.phoneName != wanted) {
        logLine("files: the phone had a file by that name; the copy is %s",
                outcome.phoneName.c_str());
    }
    return outcome;
}

// Gives the whole copy at `partPath` the first free name for `wanted`, looking again when the
// phone took that name meanwhile; `names` is the folder as last listed.
TransferOutcome FileSender::giveName(const std::wstring& adb, const std::wstring& prefix,
                                     const std::string& partPath, const std::string& wanted,
                                     std::vector<std::string>& names, std::string& phoneName) {
    const std::string partName = partPath.substr(std::string(kPhoneDownloadFolder).size());
    std::string complaint;
    for (int attempt = 0; attempt < kNamingTries; ++attempt) {
        phoneName = freeName(wanted, names);
        std::string said;
        options_.runAdb(
            adb, prefix + moveWithoutReplacingArgs(partPath, kPhoneDownloadFolder + phoneName),
            &said, kQuestionLimitMs);
        complaint = std::string(trimTrailing(said));
        TransferOutcome listed;
        if (!listDownloads(adb, prefix, names, listed)) return listed;
        if (freeName(partName, names) == partName) return {true, {}};
        logLine("files: %s was taken on the phone while the copy went%s%s", phoneName.c_str(),
                complaint.empty() ? "" : "; mv said: ", logExcerpt(complaint, 300).c_str());
    }
    std::string removed;
    options_.runAdb(adb, prefix + removeFileArgs(partPath), &removed, kQuestionLimitMs);
    return {false, complaint.empty() ? "the phone kept taking the name it was given"
                                     : logExcerpt(complaint, 120)};
}

}  // namespace tov
