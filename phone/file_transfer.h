// What happens to one file dropped for the phone: an .apk is installed, anything else is copied
// to the phone's Download folder. The adb command, its time limit, how adb's answer is judged and
// the sentences the user reads. Pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tov {

enum class TransferKind { Install, Push };

inline constexpr const char* kPhoneDownloadFolder = "/sdcard/Download/";

// Install for a name ending in ".apk" in any case, else Push.
TransferKind transferKind(const std::wstring& path);
// The adb arguments after the phone's prefix: install -r "PATH", or push "PATH" /sdcard/Download/.
std::wstring transferArgs(TransferKind kind, const std::wstring& path);
// A minute (two for an install, which the phone also has to unpack) plus a second per MiB, so
// that a slow Wi-Fi link still carries a large file.
uint32_t transferTimeoutMs(TransferKind kind, int64_t bytes);

// The file's name for the user: the last part of the path, with the middle of a very long name
// left out.
std::string displayName(const std::wstring& path);

struct TransferOutcome {
    bool ok = false;
    std::string reason;  // why not, in adb's or the phone's words
};
// Judges adb's answer. An install needs "Success" (older adb exits with 0 after a failure, too).
TransferOutcome judgeTransfer(TransferKind kind, bool exitedOk, std::string_view output,
                              bool timedOut);

// The sentences of the status line. `name` is a displayName.
std::string transferStartText(TransferKind kind, const std::string& name, size_t moreWaiting);
std::string transferDoneText(TransferKind kind, const std::string& name);
std::string transferFailedText(TransferKind kind, const std::string& name,
                               const std::string& reason);
// After a batch of several files in which some failed: how many went, then the last failure.
std::string batchText(int sent, int total, const std::string& lastFailure);
std::string noPhoneText();

}  // namespace tov
