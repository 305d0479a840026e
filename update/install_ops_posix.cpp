#include <spawn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "platform/text.h"
#include "update/install_ops.h"

extern char** environ;

namespace tov {
namespace {

class PosixInstallOps : public InstallOps {
  public:
    unsigned long rename(const std::wstring& from, const std::wstring& to) override {
        return std::rename(narrow(from).c_str(), narrow(to).c_str()) == 0 ? 0 : errno;
    }

    unsigned long moveIn(const std::wstring& from, const std::wstring& to) override {
        if (std::rename(narrow(from).c_str(), narrow(to).c_str()) == 0) return 0;
        if (errno != EXDEV) return errno;
        std::string bytes;
        if (!readFile(from, bytes) || !writeFile(to, bytes)) return EIO;
        deleteFile(from);
        return 0;
    }

    unsigned long start(const std::wstring& program) override {
        std::string path = narrow(program);
        // Downloads carry no execute permission here.
        chmod(path.c_str(), 0755);
        char* argv[] = {path.data(), nullptr};
        pid_t pid = -1;
        return static_cast<unsigned long>(
            posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ));
    }
};

}  // namespace

std::unique_ptr<InstallOps> makeSystemInstallOps() {
    return std::make_unique<PosixInstallOps>();
}

}  // namespace tov
