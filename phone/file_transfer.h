// What happens to one file dropped for the phone: an .apk is installed, anything else is copied
// to the phone's Download folder. The adb commands, the install's time limit, how adb's answer is
// judged and the sentences the user reads. Pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tov {

enum class TransferKind { Install, Push };

inline constexpr const char* kPhoneDownloadFolder = "/sdcard/Download/";

// Install for a name ending in ".apk" in any case, else Push.
TransferKind transferKind(const std::wstring& path);
// The adb arguments after the phone's prefix. An install replaces an older version of the app:
// install -r "PATH".
std::wstring installArgs(const std::wstring& path);
// A copy names its full path on the phone, so that it lands under the name chosen for it.
std::wstring pushArgs(const std::wstring& path, const std::string& phonePath);
// What the Download folder holds: shell ls -1a /sdcard/Download/.
std::wstring downloadListingArgs();
// The size of a file on the phone: shell "stat -c %s 'PATH'".
std::wstring phoneFileSizeArgs(const std::string& phonePath);
// Renames a file on the phone unless the new name is taken (then it does nothing and says
// nothing): shell "mv -n 'FROM' 'TO'".
std::wstring moveWithoutReplacingArgs(const std::string& from, const std::string& to);
// Removes a file on the phone: shell "rm -f 'PATH'".
std::wstring removeFileArgs(const std::string& phonePath);
// Two minutes (the phone also has to unpack the package) plus a second per MiB.
uint32_t installTimeoutMs(int64_t bytes);

// The file's name for the user: the last part of the path, with the middle of a very long name
// left out. It counts and cuts whole characters: a letter with its accents or an emoji with its
// modifiers is never split.
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
// "Copying movie.mp4… 45%" (and how many wait).
std::string copyProgressText(const std::string& name, int percent, size_t moreWaiting);
// `phoneName` (a displayName too) when the phone already had a file by the file's own name.
std::string transferDoneText(TransferKind kind, const std::string& name,
                             const std::string& phoneName = {});
std::string transferFailedText(TransferKind kind, const std::string& name,
                               const std::string& reason);
// Why a copy was stopped before adb gave up.
std::string stalledReason(uint64_t stallMs);
std::string phoneGoneReason();
// After a batch of several files in which some failed: how many went, then the last failure.
std::string batchText(int sent, int total, const std::string& lastFailure);
std::string noPhoneText();

}  // namespace tov
