// Child processes started from a Windows-style command line. On POSIX the line is split into
// arguments with the Windows rules, so a child sees the same argv on both systems.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tov {

struct RunResult {
    bool started = false;    // the process could be created
    bool exited = false;     // it ended by itself within the limit (not terminated)
    unsigned exitCode = 1;   // 1 when terminated or unreadable
};

// Runs a command line to completion with no console window and no standard input, standard
// output and error captured together in arrival order. The pipe is drained every 20 ms, so a
// chatty child never blocks. Past timeoutMs the child is terminated with exit code 1 and the
// output captured so far is kept. `output` (optional) is overwritten once the child started.
RunResult runCommand(const std::wstring& commandLine, std::string* output, uint32_t timeoutMs);

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

}  // namespace tov
