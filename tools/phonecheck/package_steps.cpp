#include "tools/phonecheck/package_steps.h"

#include "phone/app_installer.h"
#include "phone/device_list.h"
#include "phone/phone_info_probe.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tools/phonecheck/phone_app_names.h"

namespace tov::phonecheck {
namespace {

constexpr uint32_t kQueryTimeoutMs = 10000;

std::string digestOf(const CheckContext& context, const std::string& path) {
    std::string output;
    const bool ok = context.adb(L"shell sha256sum " + widen(path), &output, kQueryTimeoutMs);
    return checksumDigest(ok, output);
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ",") + item;
    return out;
}

}  // namespace

bool checkPhoneAttached(const CheckContext& context, CheckReport& report) {
    const char* step = "phone attached";
    std::string output;
    if (!context.runAdb(context.options.adbPath, L"devices -l", &output, kQueryTimeoutMs)) {
        report.failed(step, output.empty()
                                ? "adb did not run from " + narrow(context.options.adbPath)
                                : "\"adb devices -l\" failed: " + oneLine(output));
        return false;
    }
    std::string seen;
    for (const AdbDevice& device : parseDeviceList(output)) {
        if (device.serial == context.options.serial) {
            if (device.state != "device") {
                report.failed(step, "adb lists " + device.serial + " as " + device.state +
                                        (device.state == "unauthorized"
                                             ? " (allow USB debugging for this PC on the phone)"
                                             : ""));
                return false;
            }
            report.ok(step, device.serial + (device.model.empty() ? "" : ", " + device.model) +
                                (device.wifi ? ", over Wi-Fi" : ""));
            return true;
        }
        seen += (seen.empty() ? "" : ", ") + device.serial;
    }
    report.failed(step, "adb does not list " + context.options.serial +
                            (seen.empty() ? " (no phones listed)" : " (it lists " + seen + ")"));
    return false;
}

void checkPackage(CheckContext& context, CheckReport& report) {
    // Only with --install does the check put anything on the phone, and then exactly as Tovenmar
    // does: install or update when the digest differs, copy the helper file likewise.
    std::string installNote, helperNote;
    if (!context.options.installFile.empty()) {
        const std::wstring file = context.options.installFile;
        AppInstaller::Options installerOptions;
        installerOptions.runAdb = context.runAdb;
        // A folder of its own, so that a running Tovenmar's copy is left alone.
        installerOptions.copyFolder = joinPath(tempFolder(), L"Tovenmar phonecheck");
        installerOptions.loadPackage = [file] {
            std::string bytes;
            readFile(file, bytes);
            return bytes;
        };
        AppInstaller installer(installerOptions);
        if (installer.packageDigest().empty()) {
            report.failed("package installed", "cannot read " + narrow(file));
            return;
        }
        const InstallOutcome outcome = installer.ensureApp(context.options.adbPath, context.prefix, {});
        if (outcome.kind >= kSignedDifferently) {
            report.failed("package installed", installStatusText(outcome));
        } else {
            installNote = outcome.kind == kAlreadyCurrent ? ", already current"
                          : outcome.kind == kInstalled    ? ", installed now"
                                                          : ", updated now";
        }
        helperNote = installer.copyHelper(context.options.adbPath, context.prefix)
                         ? ""
                         : " (copying it failed)";
    }

    std::string output;
    context.adb(L"shell pm path " + widen(kPhoneAppPackage), &output, kQueryTimeoutMs);
    const std::string path = installedPackagePath(output);
    std::string appDigest;
    if (path.empty()) {
        report.failed("package installed",
                      std::string(kPhoneAppPackage) + " is not installed (pm path: " +
                          (output.empty() ? "no answer" : oneLine(output)) +
                          "); Tovenmar installs it, or give --install FILE");
    } else {
        appDigest = digestOf(context, path);
        report.ok("package installed", std::string(kPhoneAppPackage) + " at " + path +
                                           ", sha256 " +
                                           (appDigest.empty() ? "unknown" : appDigest) +
                                           installNote);
    }

    const std::string helperDigest = digestOf(context, kHelperPhonePath);
    if (helperDigest.empty()) {
        report.failed("helper file there",
                      std::string(kHelperPhonePath) + " is missing" + helperNote +
                          "; Tovenmar copies it there, or give --install FILE");
    } else {
        report.ok("helper file there",
                  std::string(kHelperPhonePath) + ", sha256 " + helperDigest +
                      (appDigest.empty() || appDigest == helperDigest
                           ? ""
                           : ", not the installed app's package (Tovenmar copies its own again)"));
    }
}

void checkInfoProbe(CheckContext& context, CheckReport& report) {
    const char* step = "info probe block";
    std::string output;
    context.adb(L"shell CLASSPATH=" + widen(kHelperPhonePath) + L" app_process / " + kProbeClass,
                &output, kProbeTimeoutMs);
    std::optional<PhoneInfo> info = parsePhoneInfoAnswer(output);
    if (!info) {
        report.failed(step, "no block between \"tovenmar-info-begin\" and \"tovenmar-info-end\" (" +
                                (output.empty() ? "no output" : oneLine(output)) + ")");
        return;
    }
    std::vector<std::string> missing;
    if (info->device.empty()) missing.push_back("device");
    if (info->width <= 0 || info->height <= 0) missing.push_back("screen");
    if (info->refresh <= 0) missing.push_back("refresh");
    if (info->codecs.empty()) missing.push_back("codecs");
    if (info->encoders.empty()) missing.push_back("encoders (none with 7 fields)");
    context.info = *info;
    if (!missing.empty()) {
        report.failed(step, "the block lacks " + joined(missing));
        return;
    }
    report.ok(step, info->device + ", " + std::to_string(info->width) + "x" +
                        std::to_string(info->height) + " at " + std::to_string(info->refresh) +
                        " Hz, codecs " + joined(info->codecs) + ", " +
                        std::to_string(info->encoders.size()) + " encoders");
}

}  // namespace tov::phonecheck
