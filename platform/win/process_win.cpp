#include <windows.h>

#include <mutex>

#include "platform/process.h"
#include "platform/win/child_start_win.h"

namespace tov {
namespace {

std::mutex childStartMutex;

void drain(HANDLE pipe, std::string& capture) {
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD n = 0;
        if (!ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) || n == 0) return;
        capture.append(buffer, n);
    }
}

}  // namespace

bool startHiddenChild(const std::wstring& commandLine, HANDLE out, DWORD flags,
                      PROCESS_INFORMATION& pi) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = out;
    si.hStdError = out;
    std::wstring mutableLine = commandLine;  // CreateProcessW may write into it
    std::lock_guard lock(childStartMutex);
    if (out) SetHandleInformation(out, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    const bool started = CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW | flags, nullptr, nullptr, &si, &pi) != 0;
    if (out) SetHandleInformation(out, HANDLE_FLAG_INHERIT, 0);
    return started;
}

RunResult runCommand(const std::wstring& commandLine, std::string* output, uint32_t timeoutMs,
                     const std::function<bool()>& watch) {
    RunResult result;
    if (commandsCancelled()) return result;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return result;
    PROCESS_INFORMATION pi{};
    const bool started = startHiddenChild(commandLine, writeEnd, 0, pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return result;
    }
    result.started = true;
    std::string capture;
    const ULONGLONG start = GetTickCount64();
    while (true) {
        drain(readEnd, capture);
        if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) {
            drain(readEnd, capture);
            DWORD code = 1;
            if (!GetExitCodeProcess(pi.hProcess, &code)) code = 1;
            result.exited = true;
            result.exitCode = code;
            break;
        }
        if (GetTickCount64() - start > timeoutMs || commandsCancelled() || (watch && !watch())) {
            TerminateProcess(pi.hProcess, 1);
            drain(readEnd, capture);
            result.exitCode = 1;
            break;
        }
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(readEnd);
    if (output) *output = std::move(capture);
    return result;
}

namespace {

class WinChild final : public ChildProcess {
  public:
    explicit WinChild(HANDLE process) : process_(process) {}
    ~WinChild() override { CloseHandle(process_); }
    bool running() override { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    bool wait(uint32_t ms) override { return WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }
    void terminate(unsigned exitCode) override {
        TerminateProcess(process_, exitCode);
        WaitForSingleObject(process_, 5000);
    }
    int exitCode() override {
        DWORD code = 0;
        if (running() || !GetExitCodeProcess(process_, &code)) return -1;
        return static_cast<int>(code);
    }

  private:
    HANDLE process_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::wstring& commandLine,
                                                  const std::wstring& outputFile) {
    HANDLE out = outputFile.empty() ? CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr)
                                    : CreateFileW(outputFile.c_str(), GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) out = nullptr;
    PROCESS_INFORMATION pi{};
    const bool started = startHiddenChild(commandLine, out, 0, pi);
    if (out) CloseHandle(out);
    if (!started) return nullptr;
    CloseHandle(pi.hThread);
    return std::make_unique<WinChild>(pi.hProcess);
}

}  // namespace tov
