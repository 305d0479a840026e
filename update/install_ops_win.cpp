#include <windows.h>

#include "update/install_ops.h"

namespace tov {
namespace {

class WinInstallOps : public InstallOps {
  public:
    unsigned long rename(const std::wstring& from, const std::wstring& to) override {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
        return GetLastError();
    }

    unsigned long moveIn(const std::wstring& from, const std::wstring& to) override {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            return 0;
        }
        return GetLastError();
    }

    unsigned long start(const std::wstring& program) override {
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &process)) {
            return GetLastError();
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 0;
    }
};

}  // namespace

std::unique_ptr<InstallOps> makeSystemInstallOps() {
    return std::make_unique<WinInstallOps>();
}

}  // namespace tov
