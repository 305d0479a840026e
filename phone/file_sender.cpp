#include "phone/file_sender.h"

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

// Nothing on the phone is replaced: the copy takes a name the Download folder does not have yet.
// It runs as long as its file on the phone keeps growing.
FileSender::Outcome FileSender::copy(const std::string& serial, const std::wstring& adb,
                                     const std::wstring& path, const std::string& name) {
    const std::wstring prefix = adbPrefix(serial);
    std::string listing;
    const uint64_t asked = tickMs();
    if (!options_.runAdb(adb, prefix + downloadListingArgs(), &listing, kQuestionLimitMs) &&
        !contains(listing, "No such file")) {  // no Download folder yet: the copy makes it
        logLine("files: the Download folder could not be listed: %s",
                logExcerpt(trimTrailing(listing), 300).c_str());
        return {
            judgeTransfer(TransferKind::Push, false, listing, tickMs() - asked >= kQuestionLimitMs),
            {}};
    }
    const std::string phoneName = freeName(fileName(path), folderNames(listing));
    const std::string phonePath = kPhoneDownloadFolder + phoneName;
    logLine("files: copying %s to %s on %s", narrow(path).c_str(), phonePath.c_str(),
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
        options_.runAdb(adb, prefix + phoneFileSizeArgs(phonePath), &answer, kQuestionLimitMs);
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
        options_.runAdbWatched(adb, prefix + pushArgs(path, phonePath), &output, watch);
    logLine("files: adb said: %s", logExcerpt(trimTrailing(output), 300).c_str());
    if (!stopReason.empty()) return {{false, stopReason}, {}};
    Outcome outcome{judgeTransfer(TransferKind::Push, exitedOk, output, false), phoneName};
    if (outcome.result.ok && phoneName != fileName(path)) {
        logLine("files: the phone had a file by that name; the copy is %s", phoneName.c_str());
    }
    return outcome;
}

}  // namespace tov
