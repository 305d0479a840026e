// What the Session needs from the phone link. The owner wires these to the adb runner, the phone
// monitor, the installer and the phone-info probe; tests wire them to stand-ins.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/phone_info.h"

namespace tov {

// The chosen connection, as the phone monitor last decided it.
struct SessionPhoneChoice {
    std::string serial;  // empty: no phone chosen
    std::string key;
    std::string name;
    bool adbMissing = false;
    bool unauthorized = false;
};

// An installer outcome: kind 0 already current, 1 installed, 2 updated, 3 signed differently,
// 4 blocked by the phone, 5 failed; with the status text the user should see for it.
struct SessionInstallOutcome {
    int kind = 0;
    std::string statusText;
};

struct SessionPhoneLink {
    using Progress = std::function<void(const std::string& text)>;

    // Empty when adb cannot be found.
    std::function<std::wstring()> findAdb;
    std::function<SessionPhoneChoice()> choice;
    // True when the command ran and succeeded within the limit; `output` (may be null) receives
    // what adb printed.
    std::function<bool(const std::wstring& adbPath, const std::wstring& args, std::string* output,
                       uint32_t timeoutMs)>
        runAdb;
    std::function<SessionInstallOutcome(const std::wstring& adbPath, const std::wstring& prefix,
                                        const Progress& progress)>
        ensureApp;
    // Read-only: true when the phone's app is the carried one. Asked while no stream is wanted, so
    // that Start stream need not wait for it.
    std::function<bool(const std::wstring& adbPath, const std::wstring& prefix)> appIsCurrent;
    // Uninstalls, then installs afresh.
    std::function<SessionInstallOutcome(const std::wstring& adbPath, const std::wstring& prefix)>
        reinstallApp;
    std::function<PhoneInfo(const std::wstring& adbPath, const std::wstring& prefix)>
        probePhoneInfo;
};

}  // namespace tov
