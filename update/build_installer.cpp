#include "update/build_installer.h"

#include "core/log.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace tov {

BuildInstaller::BuildInstaller(std::wstring exePath, InstallOps& ops, const UpdateFolder& folder)
    : exe_(std::move(exePath)), ops_(ops), folder_(folder) {}

std::wstring BuildInstaller::oldBuildPath() const {
    const size_t cut = exe_.find_last_of(L"\\/");
    const std::wstring dir = cut == std::wstring::npos ? std::wstring() : exe_.substr(0, cut + 1);
    return dir + L"Tovenmar.old.exe";
}

void BuildInstaller::removeOldBuild() {
    const std::wstring old = oldBuildPath();
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!isFile(old) || deleteFile(old)) return;
        sleepMs(100);
    }
}

bool BuildInstaller::install(const std::string& version, std::string& message) {
    const std::wstring old = oldBuildPath();
    const std::wstring build = folder_.buildFile(version);
    if (exe_.empty() || build.empty()) {
        message = "The new version couldn't be put in place, so Tovenmar stayed as it was.";
        return false;
    }
    deleteFile(old);
    if (const unsigned long error = ops_.rename(exe_, old)) {
        logLine("update: couldn't rename %ls (%lu)", exe_.c_str(), error);
        message =
            "Windows wouldn't let Tovenmar replace its own file. If it's in a protected folder "
            "like Program Files, move it somewhere like your Documents folder.";
        return false;
    }
    if (const unsigned long error = ops_.moveIn(build, exe_)) {
        logLine("update: couldn't move the new exe in (%lu)", error);
        ops_.rename(old, exe_);
        message = "The new version couldn't be put in place, so Tovenmar stayed as it was.";
        return false;
    }
    deleteFile(folder_.readyFile());
    deleteFile(folder_.signatureFile(version));
    if (const unsigned long error = ops_.start(exe_)) {
        logLine("update: the new exe wouldn't start (%lu); putting the old one back", error);
        deleteFile(exe_);
        ops_.rename(old, exe_);
        message = "The new version wouldn't start, so Tovenmar went back to the one you had.";
        return false;
    }
    logLine("update: installed %s, starting it", version.c_str());
    return true;
}

bool BuildInstaller::startAgain() {
    return !exe_.empty() && ops_.start(exe_) == 0;
}

}  // namespace tov
