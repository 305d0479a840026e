#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/clock.h"
#include "platform/posix/spawn_posix.h"
#include "platform/process.h"
#include "platform/text.h"

namespace tov {
namespace {

void drain(int fd, std::string& capture) {
    char buffer[4096];
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP))) return;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return;
        capture.append(buffer, static_cast<size_t>(n));
    }
}

// A pipe whose read end becomes the child's standard input, holding `input`, its write end
// closed so that the child reads the end of the input after it.
bool inputPipe(std::string_view input, int& readEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    // A pipe holds 64 KiB: enough for any text handed to a command this way.
    bool ok = input.size() <= 65536;
    size_t done = 0;
    while (ok && done < input.size()) {
        const ssize_t n = write(fds[1], input.data() + done, input.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    close(fds[1]);
    if (!ok) close(fds[0]);
    readEnd = fds[0];
    return ok;
}

}  // namespace

RunResult runCommand(const std::wstring& commandLine, std::string* output, uint32_t timeoutMs,
                     const std::function<bool()>& watch, std::string_view input) {
    RunResult result;
    if (commandsCancelled()) return result;
    int inputEnd = -1;
    if (!input.empty() && !inputPipe(input, inputEnd)) return result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        if (inputEnd >= 0) close(inputEnd);
        return result;
    }
    const pid_t pid = spawnWithOutput(commandLine, fds[1], inputEnd);
    close(fds[1]);
    if (inputEnd >= 0) close(inputEnd);
    if (pid < 0) {
        close(fds[0]);
        return result;
    }
    result.started = true;
    std::string capture;
    const uint64_t start = tickMs();
    while (true) {
        drain(fds[0], capture);
        pollfd p{fds[0], POLLIN, 0};
        poll(&p, 1, 20);  // wakes early when output arrives
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            drain(fds[0], capture);
            result.exited = true;
            result.exitCode = exitCodeOf(status);
            break;
        }
        if (tickMs() - start > timeoutMs || commandsCancelled() || (watch && !watch())) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            drain(fds[0], capture);
            result.exitCode = 1;
            break;
        }
    }
    close(fds[0]);
    if (output) *output = std::move(capture);
    return result;
}

namespace {

class PosixChild final : public ChildProcess {
  public:
    explicit PosixChild(pid_t pid) : pid_(pid) {}
    ~PosixChild() override { reap(false); }
    bool running() override { return !reap(false); }
    bool wait(uint32_t ms) override {
        const uint64_t start = tickMs();
        while (!reap(false)) {
            if (tickMs() - start >= ms) return false;
            sleepMs(2);
        }
        return true;
    }
    void terminate(unsigned) override {
        if (reap(false)) return;
        kill(pid_, SIGKILL);
        reap(true);
        exitCode_ = 1;
    }
    int exitCode() override { return reap(false) ? exitCode_ : -1; }

  private:
    // True once the child has ended (and been reaped).
    bool reap(bool block) {
        if (ended_) return true;
        int status = 0;
        const pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
        if (r == pid_) {
            ended_ = true;
            exitCode_ = static_cast<int>(exitCodeOf(status));
        } else if (r < 0 && errno == ECHILD) {
            ended_ = true;
        }
        return ended_;
    }
    pid_t pid_;
    bool ended_ = false;
    int exitCode_ = -1;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::wstring& commandLine,
                                                  const std::wstring& outputFile) {
    const std::string target = outputFile.empty() ? "/dev/null" : narrow(outputFile);
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    const pid_t pid = spawnWithOutput(commandLine, fd);
    close(fd);
    if (pid < 0) return nullptr;
    return std::make_unique<PosixChild>(pid);
}

}  // namespace tov
