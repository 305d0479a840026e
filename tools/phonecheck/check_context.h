// What every step of the check shares: the adb to run, the phone, the user's choices, and what
// earlier steps learned.
#pragma once

#include <cstdint>
#include <string>

#include "core/phone_info.h"
#include "phone/adb_runner.h"

namespace tov::phonecheck {

struct CheckOptions {
    std::wstring adbPath;
    std::string serial;
    std::wstring installFile;  // empty: nothing is installed
    bool inject = true;        // tap and key through the input helper
    bool json = false;
    uint32_t mediaSeconds = 3;  // how long each stream's pictures and sound are watched
};

struct CheckContext {
    CheckOptions options;
    std::wstring prefix;  // "-s SERIAL "
    AdbRunFunction runAdb = tov::runAdb;
    PhoneInfo info;  // from the probe; empty when it did not answer
    // Runs prefix + args; the output is kept whatever the outcome.
    bool adb(const std::wstring& args, std::string* output, uint32_t timeoutMs) const {
        return runAdb(options.adbPath, prefix + args, output, timeoutMs);
    }
};

// adb's answer in one line for a step's reason: trimmed, line breaks as " / ", at most 200 bytes.
std::string oneLine(const std::string& text);

// A round trip in milliseconds with one decimal: "0.4 ms".
std::string roundTripText(int64_t micros);

}  // namespace tov::phonecheck
