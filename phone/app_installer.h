// Gets the carried phone app package onto the phone: installed as the app com.tovenmar.app, and
// copied as a plain file from which app_process runs the probe and the input helper. Digests are
// compared first, so an unchanged package is neither installed nor pushed again.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "phone/adb_runner.h"
#include "phone/carried_package.h"

namespace tov {

inline constexpr const char* kPhoneAppPackage = "com.tovenmar.app";
inline constexpr const char* kHelperPhonePath = "/data/local/tmp/tovenmar.apk";

// 0 already current, 1 installed, 2 updated, 3 signed differently, 4 blocked by the phone,
// 5 failed.
struct InstallOutcome {
    int kind = 0;
    std::string detail;
};
enum InstallKind : int {
    kAlreadyCurrent = 0,
    kInstalled = 1,
    kUpdated = 2,
    kSignedDifferently = 3,
    kBlockedByPhone = 4,
    kInstallFailed = 5,
};

// The status text the user sees for an outcome (empty for "already current").
std::string installStatusText(const InstallOutcome& outcome);

// "pm path" output: the installed package's file, or empty when the app is not installed.
std::string installedPackagePath(std::string_view output);
// A sha256sum answer: its 64-character digest, or empty when the command failed or the file is
// not there.
std::string checksumDigest(bool succeeded, std::string_view output);
// What an install's output (already trimmed) means. Success gives kindOnSuccess.
InstallOutcome classifyInstallOutput(std::string_view output, int kindOnSuccess);

class AppInstaller {
  public:
    using Progress = std::function<void(const std::string& text)>;
    struct Options {
        AdbRunFunction runAdb = tov::runAdb;
        std::function<std::string()> loadPackage = [] { return loadCarriedPackage(); };
        // Where the local copy is written; empty: the temporary folder + "Tovenmar".
        std::wstring copyFolder;
    };
    static constexpr uint32_t kQueryTimeoutMs = 10000;
    static constexpr uint32_t kPushTimeoutMs = 60000;
    static constexpr uint32_t kInstallTimeoutMs = 120000;
    static constexpr uint32_t kUninstallTimeoutMs = 60000;

    AppInstaller();
    explicit AppInstaller(Options options);
    AppInstaller(const AppInstaller&) = delete;
    AppInstaller& operator=(const AppInstaller&) = delete;

    // SHA-256 of the carried package in sha256sum's form; empty when there is none.
    std::string packageDigest();
    // The package written to a local file; empty on any failure.
    std::wstring localCopy();

    // True when the phone's installed app is this package (two queries, nothing installed).
    bool appIsCurrent(const std::wstring& adbPath, const std::wstring& prefix);
    // Installs or updates the app unless the phone already has this package.
    InstallOutcome ensureApp(const std::wstring& adbPath, const std::wstring& prefix,
                             const Progress& progress);
    InstallOutcome installApp(const std::wstring& adbPath, const std::wstring& prefix,
                              int kindOnSuccess);
    // Uninstalls (the app's own settings go with it), then installs afresh.
    InstallOutcome reinstallApp(const std::wstring& adbPath, const std::wstring& prefix);
    // True when the phone's helper copy matches the carried package afterwards. Callers on
    // several threads are served one at a time, so the file is pushed once.
    bool copyHelper(const std::wstring& adbPath, const std::wstring& prefix);

  private:
    struct Presence {
        bool installed = false;
        bool current = false;
    };
    Presence presence(const std::wstring& adbPath, const std::wstring& prefix);

    void loadOnce();
    std::string remoteDigest(const std::wstring& adbPath, const std::wstring& prefix,
                             const std::string& path);

    const Options options_;
    std::once_flag loaded_;
    std::string package_;
    std::string digest_;
    std::mutex copyMutex_;
    std::wstring copyPath_;
    std::mutex helperMutex_;
};

}  // namespace tov
