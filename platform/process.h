// Child processes started from a Windows-style command line. On POSIX the line is split into
// arguments with the Windows rules, so a child sees the same argv on both systems.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tov {

struct RunResult {
    bool started = false;    // the process could be created
    bool exited = false;     // it ended by itself within the limit (not terminated)
    unsigned exitCode = 1;   // 1 when terminated or unreadable
};

// Lets one thread end the commands another thread runs, without waiting for them: while a
// CommandCancelScope holds it on a thread, runCommand there ends its child as it would past the
// limit, within one 20 ms poll of cancel(), and starts no child once cancel() was called.
class CommandCancel {
public:
    void cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_; }

private:
    std::atomic<bool> cancelled_{false};
};

// Puts a CommandCancel in force for runCommand on the calling thread until the scope ends.
class CommandCancelScope {
public:
    explicit CommandCancelScope(const CommandCancel& cancel);
    ~CommandCancelScope();
    CommandCancelScope(const CommandCancelScope&) = delete;
    CommandCancelScope& operator=(const CommandCancelScope&) = delete;

private:
    const CommandCancel* outer_;
};

// True when the calling thread's commands were cancelled.
bool commandsCancelled();

// Runs a command line to completion with no console window, standard output and error captured
// together in arrival order. Standard input holds `input` and then ends (a secret that must not
// show on the command line, which any process listing shows); with none, it is nothing. The
// child gets no other handle of the program. The pipe is drained every 20 ms, so a
// chatty child never blocks. Past timeoutMs, or once the thread's commands are cancelled, the
// child is terminated with exit code 1 and the output captured so far is kept. `output`
// (optional) is overwritten once the child started. `watch` (optional) is asked after each poll
// whether the child may go on; false ends it as the limit does. It may run commands of its own
// meanwhile: the child's output waits in the pipe.
RunResult runCommand(const std::wstring& commandLine, std::string* output, uint32_t timeoutMs,
                     const std::function<bool()>& watch = {}, std::string_view input = {});

// A long-lived child. Its output goes to the null device, or to a file when one is named.
// Destroying the object closes the handle; it does not end the child.
class ChildProcess {
public:
    static std::unique_ptr<ChildProcess> start(const std::wstring& commandLine,
                                               const std::wstring& outputFile = {});
    virtual ~ChildProcess() = default;
    // Still running (a zero wait).
    virtual bool running() = 0;
    // Waits up to ms for the end; true when it has ended.
    virtual bool wait(uint32_t ms) = 0;
    virtual void terminate(unsigned exitCode = 1) = 0;
    // Exit code once ended, else -1.
    virtual int exitCode() = 0;
};

// The Windows command-line splitting rules (as CommandLineToArgvW and the C runtime apply them).
std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine);
// One argument written for a command line so that those rules read it back whole (quoted when
// it is empty or holds blanks or quotes).
std::wstring quoteArgument(const std::wstring& argument);

}  // namespace tov
