// Finding and running the Android Debug Bridge client. Callers keep the path findAdb returned
// and pass it to every call; there is no global adb object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/process.h"
#include "platform/readable_child.h"

namespace tov {

// Where adb is looked for, in order: the program's own folder, the system search path,
// ANDROID_HOME and ANDROID_SDK_ROOT (each + platform-tools), LOCALAPPDATA's Android SDK.
// Empty when none has it.
std::wstring findAdb();
// The same search with `programFolder` standing for the executable's folder.
std::wstring findAdbFrom(const std::wstring& programFolder);

// Runs `"adbPath" args`. True only when adb started, ended by itself within the limit and
// exited with 0. `output` (optional) receives stdout and stderr as captured, also on failure.
bool runAdb(const std::wstring& adbPath, const std::wstring& args, std::string* output,
            uint32_t timeoutMs);

// runAdb with `input` on adb's standard input: what adb asks for when the command line leaves it
// out (the code of "pair"), so that a secret never shows in a process listing.
bool runAdbWithInput(const std::wstring& adbPath, const std::wstring& args, std::string_view input,
                     std::string* output, uint32_t timeoutMs);

// The shape of runAdb, so that its users can be handed a stand-in.
using AdbRunFunction = std::function<bool(const std::wstring& adbPath, const std::wstring& args,
                                          std::string* output, uint32_t timeoutMs)>;

// runAdb with no time limit of its own: `watch` is asked after each poll whether the command may
// go on (see runCommand), for a command that may take as long as it keeps making progress.
bool runAdbWatched(const std::wstring& adbPath, const std::wstring& args, std::string* output,
                   const std::function<bool()>& watch);
using AdbWatchedRunFunction =
    std::function<bool(const std::wstring& adbPath, const std::wstring& args, std::string* output,
                       const std::function<bool()>& watch)>;

// Starts a long-lived adb command with its output discarded; null when it could not start.
std::unique_ptr<ChildProcess> startAdb(const std::wstring& adbPath, const std::wstring& args);

// Starts a long-lived adb command whose output is read as it comes; null when it could not start.
std::unique_ptr<ReadableChild> startAdbReadable(const std::wstring& adbPath,
                                                const std::wstring& args);

// "-s " + serial + " ": the start of every command aimed at one phone.
std::wstring adbPrefix(const std::string& serial);

}  // namespace tov
