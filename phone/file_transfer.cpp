#include "phone/file_transfer.h"

#include <algorithm>
#include <cwctype>

#include "core/file_name.h"
#include "core/text_characters.h"
#include "phone/download_folder.h"
#include "phone/output_text.h"
#include "platform/process.h"
#include "platform/text.h"

namespace tov {
namespace {

constexpr size_t kNameLimit = 40;  // characters
constexpr size_t kReasonLimit = 120;
constexpr uint32_t kMsPerMiB = 1000;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return trimTrailing(text);
}

std::string_view withoutPrefix(std::string_view text, std::string_view prefix) {
    return startsWith(text, prefix) ? text.substr(prefix.size()) : text;
}

// "Failure [INSTALL_FAILED_X: detail]" → "INSTALL_FAILED_X".
std::string packageManagerCode(std::string_view output) {
    const size_t at = output.find("Failure [");
    if (at == std::string_view::npos) return {};
    std::string_view code = output.substr(at + 9);
    code = trimmed(code.substr(0, code.find_first_of(":]\n")));
    return std::string(code);
}

// adb's own complaint: the first line that says it is one, else the last line it printed. The
// part after the last ": " is the cause ("No space left on device"); a line without one is
// itself the cause ("device 'X' not found").
std::string adbComplaint(std::string_view output) {
    std::string_view chosen;
    for (std::string_view line : splitLines(output)) {
        line = trimmed(line);
        if (line.empty()) continue;
        if (contains(line, "error:") || startsWith(line, "adb: ")) {
            chosen = line;
            break;
        }
        chosen = line;
    }
    chosen = withoutPrefix(withoutPrefix(withoutPrefix(chosen, "adb: "), "error: "), "adb: ");
    const size_t colon = chosen.rfind(": ");
    if (colon != std::string_view::npos && colon + 2 < chosen.size()) {
        chosen = chosen.substr(colon + 2);
    }
    return logExcerpt(withoutPrefix(chosen, "remote "), kReasonLimit);
}

}  // namespace

TransferKind transferKind(const std::wstring& path) {
    if (path.size() < 4) return TransferKind::Push;
    std::wstring tail = path.substr(path.size() - 4);
    for (wchar_t& c : tail) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return tail == L".apk" ? TransferKind::Install : TransferKind::Push;
}

std::wstring installArgs(const std::wstring& path) {
    return L"install -r \"" + path + L"\"";
}

std::wstring pushArgs(const std::wstring& path, const std::string& phonePath) {
    return L"push " + quoteArgument(path) + L" " + quoteArgument(widen(phonePath));
}

std::wstring downloadListingArgs() {
    return L"shell ls -1a " + widen(kPhoneDownloadFolder);
}

std::wstring phoneFileSizeArgs(const std::string& phonePath) {
    // adb hands the words after "shell" to the phone's shell as they are: one word, quoted
    // for the PC's command line, holding the command with the path quoted for the phone's.
    return L"shell " + quoteArgument(widen("stat -c %s " + shellQuoted(phonePath)));
}

std::wstring moveWithoutReplacingArgs(const std::string& from, const std::string& to) {
    return L"shell " + quoteArgument(widen("mv -n " + shellQuoted(from) + " " + shellQuoted(to)));
}

std::wstring removeFileArgs(const std::string& phonePath) {
    return L"shell " + quoteArgument(widen("rm -f " + shellQuoted(phonePath)));
}

uint32_t installTimeoutMs(int64_t bytes) {
    const uint64_t mib = bytes > 0 ? (static_cast<uint64_t>(bytes) + (1u << 20) - 1) >> 20 : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(120000 + mib * kMsPerMiB, UINT32_MAX));
}

std::string displayName(const std::wstring& path) {
    const std::string name = fileName(path);
    const std::vector<std::string_view> characters = textCharacters(name);
    if (characters.size() <= kNameLimit) return name;
    // The start says what it is, the end keeps the extension.
    std::string shown;
    for (size_t i = 0; i < kNameLimit - 13; ++i) shown += characters[i];
    shown += "\xE2\x80\xA6";
    for (size_t i = characters.size() - 12; i < characters.size(); ++i) shown += characters[i];
    return shown;
}

TransferOutcome judgeTransfer(TransferKind kind, bool exitedOk, std::string_view output,
                              bool timedOut) {
    if (timedOut) return {false, "adb didn't finish in time"};
    const std::string code = packageManagerCode(output);
    const bool ok =
        exitedOk && code.empty() && (kind == TransferKind::Push || contains(output, "Success"));
    if (ok) return {true, {}};
    if (!code.empty()) return {false, code};
    std::string complaint = adbComplaint(output);
    if (complaint.empty()) complaint = "adb gave no reason";
    return {false, complaint};
}

namespace {

// "N more after it." when files wait, after `separator`.
void addWaiting(std::string& text, const char* separator, size_t moreWaiting) {
    if (moreWaiting == 0) return;
    text += separator;
    text += std::to_string(moreWaiting);
    text += " more after it.";
}

}  // namespace

std::string transferStartText(TransferKind kind, const std::string& name, size_t moreWaiting) {
    std::string text =
        (kind == TransferKind::Install ? "Installing " : "Copying ") + name + "\xE2\x80\xA6";
    addWaiting(text, " ", moreWaiting);
    return text;
}

std::string copyProgressText(const std::string& name, int percent, size_t moreWaiting) {
    std::string text = "Copying " + name + "\xE2\x80\xA6 ";
    text += std::to_string(percent);
    text += "%";
    addWaiting(text, ", ", moreWaiting);
    return text;
}

std::string transferDoneText(TransferKind kind, const std::string& name,
                             const std::string& phoneName) {
    if (kind == TransferKind::Install) return name + " installed.";
    if (phoneName.empty() || phoneName == name) {
        return name + " copied to the phone's Download folder.";
    }
    return name + " copied to the phone's Download folder as " + phoneName + ".";
}

std::string transferFailedText(TransferKind kind, const std::string& name,
                               const std::string& reason) {
    std::string text = (kind == TransferKind::Install ? "Couldn't install " : "Couldn't copy ") +
                       name + ": " + reason;
    if (text.back() != '.') text += '.';
    return text;
}

std::string stalledReason(uint64_t stallMs) {
    return "the copy made no progress for " + std::to_string(stallMs / 1000) + " seconds";
}

std::string phoneGoneReason() {
    return "the phone went away";
}

std::string batchText(int sent, int total, const std::string& lastFailure) {
    return std::to_string(sent) + " of " + std::to_string(total) + " files went to the phone. " +
           lastFailure;
}

std::string noPhoneText() {
    return "No phone chosen: plug one in, or pick it in Settings, then drop the files again.";
}

}  // namespace tov
