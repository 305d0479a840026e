// The names the phone app's contract fixes (docs/phone-app.md), as the check uses them.
#pragma once

#include <cstdint>

namespace tov::phonecheck {

inline constexpr const wchar_t* kProbeClass = L"com.tovenmar.app.shell.PhoneInfo";
inline constexpr const wchar_t* kInputHelperClass = L"com.tovenmar.app.input.InputServer";
inline constexpr const char* kInputSocket = "localabstract:tovenmar-input";
inline constexpr const char* kAppStreamRemote = "tcp:27183";
inline constexpr const char* kNoAppStreamRemote = "localabstract:tovenmar-stream";
inline constexpr const wchar_t* kActivityStart =
    L"shell am start -n com.tovenmar.app/.MainActivity --ez start true -f 0x30000000";

// Tovenmar's own limits.
inline constexpr uint32_t kHelloLimitMs = 1500;
inline constexpr uint32_t kSilenceLimitMs = 4000;
inline constexpr uint32_t kHelperGreetingLimitMs = 2000;

}  // namespace tov::phonecheck
