#include "phone/adb_runner.h"

#include <algorithm>
#include <vector>

#include "core/log.h"
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

// The command's name for the log: the first word after "-s SERIAL", and for "shell" the word after
// it. Never more: the rest may hold a pairing code or the user's file names.
std::string commandName(const std::wstring& args) {
    std::vector<std::wstring> words;
    size_t at = 0;
    while (words.size() < 4) {
        at = args.find_first_not_of(L' ', at);
        if (at == std::wstring::npos) break;
        const size_t end = std::min(args.find(L' ', at), args.size());
        words.push_back(args.substr(at, end - at));
        at = end;
    }
    size_t first = words.size() >= 2 && words[0] == L"-s" ? 2 : 0;
    if (first >= words.size()) return "adb";
    std::wstring name = words[first];
    if (name == L"shell" && first + 1 < words.size()) name += L" " + words[first + 1];
    return narrow(name);
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
    return runAdbWithInput(adbPath, args, {}, output, timeoutMs);
}

bool runAdbWithInput(const std::wstring& adbPath, const std::wstring& args, std::string_view input,
                     std::string* output, uint32_t timeoutMs) {
    const RunResult r = runCommand(commandLine(adbPath, args), output, timeoutMs, {}, input);
    if (r.started && !r.exited && !commandsCancelled()) {
        logLine("adb: %s did not end within %u ms and was stopped", commandName(args).c_str(),
                static_cast<unsigned>(timeoutMs));
    }
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
