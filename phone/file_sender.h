// Sends files dropped on the video window to the phone, one after another on a thread of its
// own: .apk files are installed, everything else goes to the Download folder. Files dropped while
// others are still going wait their turn. Every step is told through the status callback and the
// log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/job_queue.h"
#include "phone/adb_runner.h"
#include "phone/copy_progress.h"
#include "phone/file_transfer.h"
#include "platform/process.h"

namespace tov {

struct FileSenderOptions {
    std::function<std::wstring()> findAdb = tov::findAdb;
    // Installs and short questions to the phone.
    AdbRunFunction runAdb = tov::runAdb;
    // Copies: they run as long as they make progress.
    AdbWatchedRunFunction runAdbWatched = tov::runAdbWatched;
    CopyRules copyRules;
    // The sender's thread (or the caller's for a drop with no phone): a sentence for the status
    // line; `failed` when it tells of a failure.
    std::function<void(const std::string& text, bool failed)> status;
};

class FileSender {
  public:
    explicit FileSender(FileSenderOptions options);
    ~FileSender() { stop(); }
    FileSender(const FileSender&) = delete;
    FileSender& operator=(const FileSender&) = delete;

    // Any thread: queues the files for the phone with this serial. With no serial nothing is
    // queued and the status says that no phone is chosen.
    void send(const std::string& serial, const std::vector<std::wstring>& paths);
    // Cuts a running adb command short and drops the waiting files; returns once the thread has
    // ended, within about one adb poll. Nothing more is sent afterwards.
    void stop();

  private:
    struct Outcome;
    void sendOne(const std::string& serial, const std::wstring& path);
    Outcome install(const std::string& serial, const std::wstring& adb, const std::wstring& path);
    Outcome copy(const std::string& serial, const std::wstring& adb, const std::wstring& path,
                 const std::string& name);
    bool listDownloads(const std::wstring& adb, const std::wstring& prefix,
                       std::vector<std::string>& names, TransferOutcome& outcome);
    TransferOutcome giveName(const std::wstring& adb, const std::wstring& prefix,
                             const std::string& partPath, const std::string& wanted,
                             std::vector<std::string>& names, std::string& phoneName);
    void tell(const std::string& text, bool failed);

    FileSenderOptions options_;
    CommandCancel cancel_;
    // The batch since the queue was last empty (the sender's thread only).
    int batchTotal_ = 0;
    int batchSent_ = 0;
    std::string lastFailure_;
    JobQueue jobs_;
};

}  // namespace tov
