// Runs the Wi-Fi subsystem's adb commands: finds adb when needed, logs every command as a "wifi:"
// line (passwords hidden), and ends a command at once when its operation is cancelled.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/process.h"

namespace tov {

// The shape of the phone link's adb runner, which the App hands in: `input` goes to adb's
// standard input (empty: none).
using WifiAdbRun =
    std::function<bool(const std::wstring& adbPath, const std::wstring& args,
                       const std::string& input, std::string* output, uint32_t timeoutMs)>;

class WifiAdb {
  public:
    WifiAdb(std::function<std::wstring()> findAdb, WifiAdbRun run)
        : findAdb_(std::move(findAdb)), run_(std::move(run)) {}

    struct Result {
        bool ran = false;  // adb was found and the command was not cancelled before or while it ran
        bool ok = false;   // it ran and exited with 0
        std::string output;
    };
    enum class Log { Always, WhenChanged };

    // `shown` stands for the command in the log. A polling command logs with WhenChanged: only
    // when its answer differs from the last one. `input` goes to adb's standard input.
    Result run(const std::string& args, uint32_t timeoutMs, const CommandCancel& cancel,
               const std::string& shown = {}, Log log = Log::Always,
               const std::string& input = {});

    // adb's path, looked for again while it is missing; empty when there is none.
    const std::wstring& path();

  private:
    std::function<std::wstring()> findAdb_;
    WifiAdbRun run_;
    std::wstring path_;
    bool missingLogged_ = false;
    std::map<std::string, std::string> lastAnswers_;  // polling commands' last answers
};

}  // namespace tov
