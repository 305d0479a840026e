#include "phone/file_sender.h"

#include <chrono>

#include "core/log.h"
#include "phone/file_transfer.h"
#include "phone/output_text.h"
#include "platform/files.h"
#include "platform/text.h"

namespace tov {

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

    TransferOutcome outcome;
    const std::wstring adb = options_.findAdb ? options_.findAdb() : std::wstring();
    if (isDirectory(path)) {
        outcome.reason = "it's a folder; drop the files in it instead";
    } else if (!isFile(path)) {
        outcome.reason = "it's no longer there";
    } else if (adb.empty()) {
        outcome.reason = "adb is missing";
    } else {
        logLine("files: %s %s on %s", kind == TransferKind::Install ? "installing" : "copying",
                utf8Path.c_str(), serial.c_str());
        const uint32_t limit = transferTimeoutMs(kind, fileSize(path));
        std::string output;
        const auto start = std::chrono::steady_clock::now();
        bool exitedOk = false;
        {
            const CommandCancelScope cutAtStop(cancel_);
            exitedOk =
                options_.runAdb(adb, adbPrefix(serial) + transferArgs(kind, path), &output, limit);
        }
        if (cancel_.cancelled()) {
            logLine("files: %s cut short by the shut-down", utf8Path.c_str());
            return;
        }
        const auto took = std::chrono::steady_clock::now() - start;
        outcome = judgeTransfer(kind, exitedOk, output,
                                !exitedOk && took >= std::chrono::milliseconds(limit));
        logLine("files: adb said: %s", logExcerpt(trimTrailing(output), 300).c_str());
    }

    if (outcome.ok) {
        ++batchSent_;
        logLine("files: %s done", utf8Path.c_str());
        tell(transferDoneText(kind, name), false);
    } else {
        lastFailure_ = transferFailedText(kind, name, outcome.reason);
        logLine("files: %s failed: %s", utf8Path.c_str(), outcome.reason.c_str());
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

}  // namespace tov
