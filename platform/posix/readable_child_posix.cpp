#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

#include "platform/posix/spawn_posix.h"
#include "platform/readable_child.h"

namespace tov {
namespace {

// How often a child whose end cannot be watched directly (no pidfd) is looked at once its pipe
// has gone quiet for good.
constexpr int kExitCheckMs = 1000;

int openPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long fd = syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(fd);
    }
#else
    (void)pid;
#endif
    return -1;
}

class PosixReadableChild final : public ReadableChild {
  public:
    PosixReadableChild(pid_t pid, int out, int wakeRead, int wakeWrite)
        : pid_(pid),
          out_(out),
          wakeRead_(wakeRead),
          wakeWrite_(wakeWrite),
          pidFd_(openPidFd(pid)) {}

    ~PosixReadableChild() override {
        stop();
        {
            std::lock_guard lock(mutex_);
            if (!reaped_) {
                int status = 0;
                waitpid(pid_, &status, 0);  // killed: this returns at once
                reaped_ = true;
            }
        }
        for (int fd : {out_, wakeRead_, wakeWrite_, pidFd_}) {
            if (fd >= 0) close(fd);
        }
    }

    bool read(std::string& out) override {
        char buffer[4096];
        while (!stopped_) {
            if (out_ < 0 && ended()) return false;
            pollfd fds[3];
            int n = 0;
            const int outAt = out_ >= 0 ? n++ : -1;
            if (outAt >= 0) fds[outAt] = pollfd{out_, POLLIN, 0};
            fds[n++] = pollfd{wakeRead_, POLLIN, 0};
            if (pidFd_ >= 0) fds[n++] = pollfd{pidFd_, POLLIN, 0};
            // With the pipe open its end (or output) wakes the wait; after that, the child's.
            const int timeout = (outAt >= 0 || pidFd_ >= 0) ? -1 : kExitCheckMs;
            if (poll(fds, static_cast<nfds_t>(n), timeout) < 0 && errno != EINTR) return false;
            if (stopped_) break;
            if (outAt >= 0 && fds[outAt].revents != 0) {
                const ssize_t got = ::read(out_, buffer, sizeof buffer);
                if (got > 0) {
                    out.append(buffer, static_cast<size_t>(got));
                    return true;
                }
                if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                    // Every writer is gone: only the child's end is left to notice.
                    close(out_);
                    out_ = -1;
                }
                continue;
            }
            // The pipe is quiet or closed: has the child ended? (A child of the child may still
            // hold the pipe open; its end is what counts.)
            if (ended()) return drainAfterEnd(out);
        }
        return false;
    }

    void stop() override {
        stopped_ = true;
        {
            std::lock_guard lock(mutex_);
            if (!reaped_) {
                kill(pid_, SIGKILL);
                killed_ = true;
            }
        }
        const char byte = 0;
        [[maybe_unused]] const ssize_t w = write(wakeWrite_, &byte, 1);
    }

    int exitCode() override {
        std::lock_guard lock(mutex_);
        return reaped_ && !killed_ ? exitCode_ : -1;
    }

  private:
    bool ended() {
        std::lock_guard lock(mutex_);
        if (reaped_) return true;
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            reaped_ = true;
            exitCode_ = static_cast<int>(exitCodeOf(status));
        } else if (r < 0 && errno == ECHILD) {
            reaped_ = true;
        }
        return reaped_;
    }

    // What the child wrote before it ended and is still in the pipe; false when nothing is.
    bool drainAfterEnd(std::string& out) {
        if (out_ < 0) return false;
        char buffer[4096];
        bool got = false;
        while (true) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 0) <= 0) break;
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) break;
            out.append(buffer, static_cast<size_t>(n));
            got = true;
        }
        // Whatever is written after this comes from someone else; the child's output is over.
        close(out_);
        out_ = -1;
        return got;
    }

    const pid_t pid_;
    int out_;
    const int wakeRead_;
    const int wakeWrite_;
    const int pidFd_;
    std::atomic<bool> stopped_{false};
    std::mutex mutex_;  // the pid is killed only while not reaped, so never a stranger's
    bool reaped_ = false;
    bool killed_ = false;
    int exitCode_ = -1;
};

}  // namespace

std::unique_ptr<ReadableChild> ReadableChild::start(const std::wstring& commandLine) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return nullptr;
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(out[0]);
        close(out[1]);
        return nullptr;
    }
    const pid_t pid = spawnWithOutput(commandLine, out[1]);
    close(out[1]);
    if (pid < 0) {
        for (int fd : {out[0], wake[0], wake[1]}) close(fd);
        return nullptr;
    }
    return std::make_unique<PosixReadableChild>(pid, out[0], wake[0], wake[1]);
}

}  // namespace tov
