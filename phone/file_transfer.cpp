#include "phone/file_transfer.h"

#include <algorithm>
#include <cwctype>

#include "phone/output_text.h"
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

std::wstring transferArgs(TransferKind kind, const std::wstring& path) {
    if (kind == TransferKind::Install) return L"install -r \"" + path + L"\"";
    return L"push \"" + path + L"\" " + widen(kPhoneDownloadFolder);
}

uint32_t transferTimeoutMs(TransferKind kind, int64_t bytes) {
    const uint64_t base = kind == TransferKind::Install ? 120000 : 60000;
    const uint64_t mib = bytes > 0 ? (static_cast<uint64_t>(bytes) + (1u << 20) - 1) >> 20 : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(base + mib * kMsPerMiB, UINT32_MAX));
}

std::string displayName(const std::wstring& path) {
    const size_t cut = path.find_last_of(L"\\/");
    std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    if (name.size() > kNameLimit) {
        // The start says what it is, the end keeps the extension.
        name = name.substr(0, kNameLimit - 13) + L"\u2026" + name.substr(name.size() - 12);
    }
    return narrow(name);
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

std::string transferStartText(TransferKind kind, const std::string& name, size_t moreWaiting) {
    std::string text =
        (kind == TransferKind::Install ? "Installing " : "Copying ") + name + "\xE2\x80\xA6";
    if (moreWaiting > 0) text += " " + std::to_string(moreWaiting) + " more after it.";
    return text;
}

std::string transferDoneText(TransferKind kind, const std::string& name) {
    return kind == TransferKind::Install ? name + " installed."
                                         : name + " copied to the phone's Download folder.";
}

std::string transferFailedText(TransferKind kind, const std::string& name,
                               const std::string& reason) {
    std::string text = (kind == TransferKind::Install ? "Couldn't install " : "Couldn't copy ") +
                       name + ": " + reason;
    if (text.back() != '.') text += '.';
    return text;
}

std::string batchText(int sent, int total, const std::string& lastFailure) {
    return std::to_string(sent) + " of " + std::to_string(total) + " files went to the phone. " +
           lastFailure;
}

std::string noPhoneText() {
    return "No phone chosen: plug one in, or pick it in Settings, then drop the files again.";
}

}  // namespace tov
