#include "phone/adb_runner.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tov {
namespace {

std::wstring adbFileName() {
    return std::wstring(L"adb") + kExeSuffix;
}

std::wstring commandLine(const std::wstring& adbPath, const std::wstring& args) {
    return L"\"" + adbPath + L"\" " + args;
}

// <dir>\platform-tools\adb.exe
std::wstring inPlatformTools(const std::wstring& dir) {
    return joinPath(joinPath(dir, L"platform-tools"), adbFileName());
}

}  // namespace

std::wstring findAdbFrom(const std::wstring& programFolder) {
    if (!programFolder.empty()) {
        const std::wstring own = joinPath(programFolder, adbFileName());
        if (isFile(own)) return own;
    }
    std::wstring found = searchPath(adbFileName().c_str());
    if (!found.empty()) return found;
    for (const wchar_t* variable : {L"ANDROID_HOME", L"ANDROID_SDK_ROOT"}) {
        const std::wstring root = getEnv(variable);
        if (root.empty() || root.size() >= 260) continue;
        const std::wstring candidate = inPlatformTools(root);
        if (isFile(candidate)) return candidate;
    }
    bool present = false;
    const std::wstring local = getEnv(L"LOCALAPPDATA", &present);
    if (present) {
        const std::wstring candidate =
            inPlatformTools(joinPath(joinPath(local, L"Android"), L"Sdk"));
        if (isFile(candidate)) return candidate;
    }
    return {};
}

std::wstring findAdb() {
    return findAdbFrom(exeFolder());
}

bool runAdb(const std::wstring& adbPath, const std::wstring& args, std::string* output,
            uint32_t timeoutMs) {
    const RunResult r = runCommand(commandLine(adbPath, args), output, timeoutMs);
    return r.started && r.exited && r.exitCode == 0;
}

bool runAdbWatched(const std::wstring& adbPath, const std::wstring& args, std::string* output,
                   const std::function<bool()>& watch) {
    const RunResult r = runCommand(commandLine(adbPath, args), output, UINT32_MAX, watch);
    return r.started && r.exited && r.exitCode == 0;
}

std::unique_ptr<ChildProcess> startAdb(const std::wstring& adbPath, const std::wstring& args) {
    return ChildProcess::start(commandLine(adbPath, args));
}

std::unique_ptr<ReadableChild> startAdbReadable(const std::wstring& adbPath,
                                                const std::wstring& args) {
    return ReadableChild::start(commandLine(adbPath, args));
}

std::wstring adbPrefix(const std::string& serial) {
    return L"-s " + widen(serial) + L" ";
}

}  // namespace tov
