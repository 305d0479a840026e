#include <windows.h>

#include <atomic>
#include <string>

#include "platform/readable_child.h"
#include "platform/win/child_start_win.h"

namespace tov {
namespace {

// An anonymous pipe cannot be waited on; a named pipe read with overlapped I/O can, beside the
// child's process handle and the stop event.
bool createOutputPipe(HANDLE& readEnd, HANDLE& writeEnd) {
    static std::atomic<unsigned> counter{0};
    const std::wstring name = L"\\\\.\\pipe\\tovenmar-child-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount64());
    readEnd = CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, 65536, 0, nullptr);
    if (readEnd == INVALID_HANDLE_VALUE) return false;
    writeEnd = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writeEnd == INVALID_HANDLE_VALUE) {
        CloseHandle(readEnd);
        return false;
    }
    return true;
}

// A job that ends the child when its last handle closes (also when this program dies), and that
// lets the child's own children go free: adb may start its server, which must outlive us.
HANDLE createKillOnCloseJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

class WinReadableChild final : public ReadableChild {
  public:
    WinReadableChild(HANDLE process, HANDLE pipe, HANDLE job)
        : process_(process),
          pipe_(pipe),
          job_(job),
          readDone_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    ~WinReadableChild() override {
        stop();
        finishPendingRead(nullptr);
        CloseHandle(pipe_);
        if (job_) CloseHandle(job_);
        CloseHandle(process_);
        if (readDone_) CloseHandle(readDone_);
        if (stopEvent_) CloseHandle(stopEvent_);
    }

    bool read(std::string& out) override {
        if (!readDone_ || !stopEvent_) return false;
        while (!stopped_) {
            if (processEnded_) return false;
            if (pipeOpen_ && !pending_) {
                if (startRead(out)) return true;
                continue;
            }
            HANDLE waits[3] = {stopEvent_, process_, readDone_};
            const DWORD count = pending_ ? 3 : 2;
            const DWORD r = WaitForMultipleObjects(count, waits, FALSE, INFINITE);
            if (r == WAIT_OBJECT_0 + 2) {
                if (finishPendingRead(&out)) return true;
            } else if (r == WAIT_OBJECT_0 + 1) {
                // Ended: what it wrote last may still be in the pipe.
                processEnded_ = true;
                const bool got = drainAfterEnd(out);
                DWORD code = 1;
                if (GetExitCodeProcess(process_, &code)) exitCode_ = static_cast<int>(code);
                return got;
            } else if (r != WAIT_OBJECT_0) {
                return false;
            }
        }
        finishPendingRead(nullptr);
        return false;
    }

    void stop() override {
        if (stopped_.exchange(true)) return;
        TerminateProcess(process_, 1);
        if (stopEvent_) SetEvent(stopEvent_);
    }

    int exitCode() override { return processEnded_ && !stopped_ ? exitCode_ : -1; }

  private:
    // Starts an overlapped read; true when it completed at once with output (appended).
    bool startRead(std::string& out) {
        ResetEvent(readDone_);
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = readDone_;
        DWORD n = 0;
        if (ReadFile(pipe_, buffer_, sizeof buffer_, &n, &overlapped_)) {
            out.append(buffer_, n);
            return n > 0;
        }
        if (GetLastError() == ERROR_IO_PENDING) {
            pending_ = true;
        } else {
            pipeOpen_ = false;  // every writer is gone; the child's end is left to notice
        }
        return false;
    }

    // Collects the pending read (cancelled first when `out` is null); true when it brought
    // output.
    bool finishPendingRead(std::string* out) {
        if (!pending_) return false;
        if (!out) CancelIoEx(pipe_, &overlapped_);
        DWORD n = 0;
        const bool ok = GetOverlappedResult(pipe_, &overlapped_, &n, TRUE) != 0;
        pending_ = false;
        if (!ok) {
            if (GetLastError() != ERROR_OPERATION_ABORTED) pipeOpen_ = false;
            return false;
        }
        if (out) out->append(buffer_, n);
        return n > 0;
    }

    // What the ended child left in the pipe; a child of the child may hold the pipe open, so
    // only what is there now is taken.
    bool drainAfterEnd(std::string& out) {
        bool got = false;
        if (pending_) {
            CancelIoEx(pipe_, &overlapped_);
            DWORD n = 0;
            if (GetOverlappedResult(pipe_, &overlapped_, &n, TRUE) && n > 0) {
                out.append(buffer_, n);
                got = true;
            }
            pending_ = false;
        }
        DWORD available = 0;
        while (pipeOpen_ && PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr) &&
               available > 0) {
            ResetEvent(readDone_);
            overlapped_ = OVERLAPPED{};
            overlapped_.hEvent = readDone_;
            DWORD n = 0;
            if (!ReadFile(pipe_, buffer_, sizeof buffer_, &n, &overlapped_) &&
                (GetLastError() != ERROR_IO_PENDING ||
                 !GetOverlappedResult(pipe_, &overlapped_, &n, TRUE))) {
                break;
            }
            if (n == 0) break;
            out.append(buffer_, n);
            got = true;
        }
        return got;
    }

    const HANDLE process_;
    const HANDLE pipe_;
    const HANDLE job_;
    const HANDLE readDone_;
    const HANDLE stopEvent_;
    std::atomic<bool> stopped_{false};
    OVERLAPPED overlapped_{};
    char buffer_[4096];
    bool pending_ = false;
    bool pipeOpen_ = true;
    bool processEnded_ = false;
    int exitCode_ = -1;
};

}  // namespace

std::unique_ptr<ReadableChild> ReadableChild::start(const std::wstring& commandLine) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!createOutputPipe(readEnd, writeEnd)) return nullptr;
    PROCESS_INFORMATION pi{};
    // Suspended until it is in its job, so that nothing it starts escapes before.
    const bool started = startHiddenChild(commandLine, nullptr, writeEnd, CREATE_SUSPENDED, pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return nullptr;
    }
    HANDLE job = createKillOnCloseJob();
    if (job && !AssignProcessToJobObject(job, pi.hProcess)) {
        CloseHandle(job);  // not fatal: stop() still ends the child
        job = nullptr;
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    return std::make_unique<WinReadableChild>(pi.hProcess, readEnd, job);
}

}  // namespace tov
