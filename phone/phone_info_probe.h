// Asks the chosen phone for its screen and video encoders: the probe class in the phone app
// package, run with app_process, prints key=value lines between two marker lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "phone/adb_runner.h"
#include "phone/app_installer.h"
#include "core/phone_info.h"

namespace tov {

inline constexpr uint32_t kProbeTimeoutMs = 15000;

// The record the probe's output describes (known set), or nothing when the output holds no
// block between "tovenmar-info-begin" and "tovenmar-info-end".
std::optional<PhoneInfo> parsePhoneInfoAnswer(std::string_view output);

// Copies the helper package, runs the probe and reads its answer. Always returns a record with
// known set; its other fields stay empty when the phone could not be asked or did not answer.
PhoneInfo probePhoneInfo(AppInstaller& installer, const AdbRunFunction& runAdb,
                         const std::wstring& adbPath, const std::wstring& prefix);

}  // namespace tov
