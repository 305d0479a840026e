#include "wifi/wifi_adb.h"

#include "core/log.h"
#include "platform/text.h"

namespace tov {
namespace {

// The answer in one log line.
std::string excerpt(const std::string& output) {
    std::string text;
    for (char c : output) {
        if (c == '\r') continue;
        text += c == '\n' || c == '\t' ? ' ' : c;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (text.size() > 300) text = text.substr(0, 300) + "...";
    return text;
}

}  // namespace

const std::wstring& WifiAdb::path() {
    if (path_.empty() && findAdb_) {
        path_ = findAdb_();
        if (path_.empty() && !missingLogged_) logLine("wifi: adb not found");
        missingLogged_ = path_.empty();
    }
    return path_;
}

WifiAdb::Result WifiAdb::run(const std::string& args, uint32_t timeoutMs,
                             const CommandCancel& cancel, const std::string& shown, Log log,
                             const std::string& input) {
    Result result;
    const std::string logged = shown.empty() ? args : shown;
    if (cancel.cancelled() || path().empty()) return result;
    {
        CommandCancelScope scope(cancel);
        result.ok = run_(path_, widen(args), input, &result.output, timeoutMs);
    }
    if (cancel.cancelled()) {
        logLine("wifi: adb %s: ended, no longer wanted", logged.c_str());
        result.ok = false;
        return result;
    }
    result.ran = true;
    if (log == Log::WhenChanged) {
        std::string& last = lastAnswers_[args];
        if (last == result.output) return result;
        last = result.output;
    }
    logLine("wifi: adb %s: %s%s", logged.c_str(), result.ok ? "" : "(failed) ",
            excerpt(result.output).c_str());
    return result;
}

}  // namespace tov
