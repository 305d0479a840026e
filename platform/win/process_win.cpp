#include <windows.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/process.h"
#include "platform/win/child_start_win.h"

namespace tov {
namespace {

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

bool startHiddenChild(const std::wstring& commandLine, HANDLE in, HANDLE out, DWORD flags,
                      PROCESS_INFORMATION& pi) {
    HANDLE handles[2];
    DWORD handleCount = 0;
    for (HANDLE h : {in, out}) {
        if (h) handles[handleCount++] = h;
    }
    // The list of what the child inherits; the handles in it must be inheritable themselves,
    // which only they become, and for the moment of the start only.
    SIZE_T attributesSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attributesSize);
    std::vector<unsigned char> attributesBuffer(attributesSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributesBuffer.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &attributesSize)) return false;
    if (handleCount > 0 &&
        !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                   handleCount * sizeof(HANDLE), nullptr, nullptr)) {
        DeleteProcThreadAttributeList(attributes);
        return false;
    }
    STARTUPINFOEXW si{};
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    si.StartupInfo.hStdInput = in;
    si.StartupInfo.hStdOutput = out;
    si.StartupInfo.hStdError = out;
    si.lpAttributeList = attributes;
    std::wstring mutableLine = commandLine;  // CreateProcessW may write into it
    for (DWORD i = 0; i < handleCount; ++i) {
        SetHandleInformation(handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    const bool started = CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr,
                                        handleCount > 0 ? TRUE : FALSE,
                                        CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | flags,
                                        nullptr, nullptr, &si.StartupInfo, &pi) != 0;
    for (DWORD i = 0; i < handleCount; ++i)
        SetHandleInformation(handles[i], HANDLE_FLAG_INHERIT, 0);
    DeleteProcThreadAttributeList(attributes);
    return started;
}

// A pipe whose read end becomes the child's standard input, holding `input`, its write end
// closed so that the child reads the end of the input after it. False when it cannot be made.
bool inputPipe(std::string_view input, HANDLE& readEnd) {
    if (input.size() > 65536) return false;  // the write below must not wait for a reader
    HANDLE writeEnd = nullptr;
    const DWORD size = static_cast<DWORD>(std::max<size_t>(input.size() + 1, 4096));
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, size)) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(writeEnd, input.data(), static_cast<DWORD>(input.size()), &written, nullptr) &&
        written == input.size();
    CloseHandle(writeEnd);
    if (!ok) CloseHandle(readEnd);
    return ok;
}

RunResult runCommand(const std::wstring& commandLine, std::string* output, uint32_t timeoutMs,
                     const std::function<bool()>& watch, std::string_view input) {
    RunResult result;
    if (commandsCancelled()) return result;
    HANDLE inputEnd = nullptr;
    if (!input.empty() && !inputPipe(input, inputEnd)) return result;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        if (inputEnd) CloseHandle(inputEnd);
        return result;
    }
    PROCESS_INFORMATION pi{};
    const bool started = startHiddenChild(commandLine, inputEnd, writeEnd, 0, pi);
    CloseHandle(writeEnd);
    if (inputEnd) CloseHandle(inputEnd);
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
    const bool started = startHiddenChild(commandLine, nullptr, out, 0, pi);
    if (out) CloseHandle(out);
    if (!started) return nullptr;
    CloseHandle(pi.hThread);
    return std::make_unique<WinChild>(pi.hProcess);
}

}  // namespace tov
