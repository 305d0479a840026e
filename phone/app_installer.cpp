#include "phone/app_installer.h"

#include "core/log.h"
#include "phone/output_text.h"
#include "platform/sha256.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tov {
namespace {

const char* const kNoPackageDetail = "this copy of Tovenmar has no phone app built in";

std::wstring packageArg() {
    return widen(kPhoneAppPackage);
}

}  // namespace

std::string installStatusText(const InstallOutcome& outcome) {
    switch (outcome.kind) {
        case kAlreadyCurrent:
            return {};
        case kInstalled:
            return "Installed Tovenmar on your phone.";
        case kUpdated:
            return "Updated Tovenmar on your phone.";
        case kSignedDifferently:
            return "The Tovenmar app on your phone is signed differently, so it can't be updated. "
                   "Reinstalling it removes only its own settings.";
        case kBlockedByPhone:
            return "Your phone blocked the install. On Xiaomi and some others, turn on \"Install "
                   "via USB\" in Developer options, then press Start stream again.";
        default:
            return "Couldn't install Tovenmar on your phone (" + outcome.detail + ").";
    }
}

std::string installedPackagePath(std::string_view output) {
    const size_t at = output.find("package:");
    if (output.size() < 8 || at == std::string_view::npos) return {};
    std::string_view path = trimTrailing(output.substr(at + 8));
    // A phone that lists split packages answers in several lines, each ending in CR LF on
    // Windows: the CR must not end up in the checksum command.
    return std::string(trimTrailing(path.substr(0, path.find('\n'))));
}

std::string checksumDigest(bool succeeded, std::string_view output) {
    if (!succeeded || output.size() < 64 || contains(output, "No such")) return {};
    return std::string(output.substr(0, 64));
}

InstallOutcome classifyInstallOutput(std::string_view output, int kindOnSuccess) {
    if (contains(output, "Success")) return {kindOnSuccess, {}};
    if (contains(output, "INSTALL_FAILED_UPDATE_INCOMPATIBLE")) {
        return {kSignedDifferently, std::string(output)};
    }
    if (contains(output, "INSTALL_FAILED_USER_RESTRICTED") ||
        contains(output, "INSTALL_FAILED_ABORTED") ||
        contains(output, "INSTALL_FAILED_VERIFICATION_FAILURE")) {
        return {kBlockedByPhone, std::string(output)};
    }
    const size_t bracket = output.find('[');
    return {kInstallFailed,
            std::string(bracket == std::string_view::npos ? output : output.substr(bracket))};
}

AppInstaller::AppInstaller() : AppInstaller(Options{}) {}

AppInstaller::AppInstaller(Options options) : options_(std::move(options)) {}

void AppInstaller::loadOnce() {
    std::call_once(loaded_, [this] {
        if (options_.loadPackage) package_ = options_.loadPackage();
        if (!package_.empty()) digest_ = sha256Hex(package_);
    });
}

std::string AppInstaller::packageDigest() {
    loadOnce();
    return digest_;
}

std::wstring AppInstaller::localCopy() {
    loadOnce();
    std::lock_guard lock(copyMutex_);
    if (package_.empty()) return {};
    // Written once; again only if something removed it meanwhile (a temp-folder clean-up).
    if (!copyPath_.empty() && isFile(copyPath_)) return copyPath_;
    copyPath_.clear();
    const std::wstring folder =
        options_.copyFolder.empty() ? joinPath(tempFolder(), L"Tovenmar") : options_.copyFolder;
    const std::wstring path = joinPath(folder, L"tovenmar.apk");
    if (!createDirectory(folder) || !writeFile(path, package_) ||
        fileSize(path) != static_cast<int64_t>(package_.size())) {
        logLine("phone app: couldn't write %s", narrow(path).c_str());
        return {};
    }
    copyPath_ = path;
    return copyPath_;
}

std::string AppInstaller::remoteDigest(const std::wstring& adbPath, const std::wstring& prefix,
                                       const std::string& path) {
    std::string output;
    const bool ok = options_.runAdb(adbPath, prefix + L"shell sha256sum " + widen(path), &output,
                                    kQueryTimeoutMs);
    return checksumDigest(ok, output);
}

AppInstaller::Presence AppInstaller::presence(const std::wstring& adbPath,
                                              const std::wstring& prefix) {
    std::string output;
    options_.runAdb(adbPath, prefix + L"shell pm path " + packageArg(), &output, kQueryTimeoutMs);
    const std::string path = installedPackagePath(output);
    if (path.empty()) return {};
    // Without a carried package there is nothing to be current with.
    const std::string digest = packageDigest();
    return {true, !digest.empty() && remoteDigest(adbPath, prefix, path) == digest};
}

bool AppInstaller::appIsCurrent(const std::wstring& adbPath, const std::wstring& prefix) {
    return presence(adbPath, prefix).current;
}

InstallOutcome AppInstaller::ensureApp(const std::wstring& adbPath, const std::wstring& prefix,
                                       const Progress& progress) {
    const Presence found = presence(adbPath, prefix);
    if (found.current) return {kAlreadyCurrent, {}};
    if (progress) {
        progress(found.installed ? "Updating Tovenmar on your phone\xE2\x80\xA6"
                                 : "Installing Tovenmar on your phone\xE2\x80\xA6");
    }
    return installApp(adbPath, prefix, found.installed ? kUpdated : kInstalled);
}

InstallOutcome AppInstaller::installApp(const std::wstring& adbPath, const std::wstring& prefix,
                                        int kindOnSuccess) {
    const std::wstring local = localCopy();
    if (local.empty()) return {kInstallFailed, kNoPackageDetail};
    std::string output;
    options_.runAdb(adbPath, prefix + L"install -r \"" + local + L"\"", &output, kInstallTimeoutMs);
    const std::string trimmed(trimTrailing(output));
    // adb's answer may span lines; the log keeps one line per event.
    logLine("phone app: install: %s", logExcerpt(trimmed, trimmed.size()).c_str());
    const InstallOutcome outcome = classifyInstallOutput(trimmed, kindOnSuccess);
    if (contains(trimmed, "Success")) {
        for (const wchar_t* permission :
             {L" android.permission.RECORD_AUDIO", L" android.permission.POST_NOTIFICATIONS"}) {
            options_.runAdb(adbPath, prefix + L"shell pm grant " + packageArg() + permission,
                            nullptr, kQueryTimeoutMs);
        }
    }
    return outcome;
}

InstallOutcome AppInstaller::reinstallApp(const std::wstring& adbPath, const std::wstring& prefix) {
    options_.runAdb(adbPath, prefix + L"uninstall " + packageArg(), nullptr, kUninstallTimeoutMs);
    logLine("phone app: uninstalled for a fresh install");
    return installApp(adbPath, prefix, kInstalled);
}

bool AppInstaller::copyHelper(const std::wstring& adbPath, const std::wstring& prefix) {
    std::lock_guard lock(helperMutex_);
    const std::string digest = packageDigest();
    if (digest.empty()) return false;
    if (remoteDigest(adbPath, prefix, kHelperPhonePath) == digest) return true;
    const std::wstring local = localCopy();
    if (local.empty()) return false;
    const bool ok =
        options_.runAdb(adbPath, prefix + L"push \"" + local + L"\" " + widen(kHelperPhonePath),
                        nullptr, kPushTimeoutMs);
    logLine("phone app: helper copied to %s: %s", kHelperPhonePath, ok ? "ok" : "failed");
    return ok;
}

}  // namespace tov
