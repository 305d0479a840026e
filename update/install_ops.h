// The system calls that swapping a build in needs. Each answers 0 on success or the system's
// error code, which goes into the log.
#pragma once

#include <memory>
#include <string>

namespace tov {

class InstallOps {
  public:
    virtual ~InstallOps() = default;
    // Renames within a folder, replacing an existing target.
    virtual unsigned long rename(const std::wstring& from, const std::wstring& to) = 0;
    // Moves, replacing an existing target; may copy across volumes.
    virtual unsigned long moveIn(const std::wstring& from, const std::wstring& to) = 0;
    // Starts the program on its own, with the quoted path as its command line and nothing
    // inherited but the environment.
    virtual unsigned long start(const std::wstring& program) = 0;
};

std::unique_ptr<InstallOps> makeSystemInstallOps();

}  // namespace tov
