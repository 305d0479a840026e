// Swaps a downloaded build in for the running executable: the running file is renamed aside to
// Tovenmar.old.exe, the new one moved into its place and started; any failure puts the old one
// back.
#pragma once

#include <string>

#include "update/install_ops.h"
#include "update/update_folder.h"

namespace tov {

class BuildInstaller {
  public:
    BuildInstaller(std::wstring exePath, InstallOps& ops, const UpdateFolder& folder);

    // Installs the ready build of `version` and starts it. On failure `message` tells the user
    // what happened and the old build is in place.
    bool install(const std::string& version, std::string& message);
    // Deletes the build a previous swap left aside; it may take a moment for that process to end.
    void removeOldBuild();
    // Starts the executable (after an install at exit failed).
    bool startAgain();

    std::wstring oldBuildPath() const;

  private:
    std::wstring exe_;
    InstallOps& ops_;
    const UpdateFolder& folder_;
};

}  // namespace tov
