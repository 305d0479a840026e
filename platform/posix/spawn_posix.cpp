#include "platform/posix/spawn_posix.h"

#include <fcntl.h>
#include <spawn.h>

#include <csignal>
#include <vector>

#include "platform/process.h"
#include "platform/text.h"

extern char** environ;

namespace tov {
namespace {

struct Argv {
    std::vector<std::string> storage;
    std::vector<char*> pointers;
    explicit Argv(const std::wstring& commandLine) {
        for (const std::wstring& a : splitCommandLine(commandLine)) storage.push_back(narrow(a));
        for (std::string& s : storage) pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
};

}  // namespace

pid_t spawnWithOutput(const std::wstring& commandLine, int outFd, int inFd) {
    Argv argv(commandLine);
    if (argv.storage.empty() || argv.storage[0].empty()) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inFd < 0) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, inFd, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, outFd, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A fresh signal mask and default dispositions, whatever the calling thread had.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc =
        posix_spawn(&pid, argv.pointers[0], &actions, &attr, argv.pointers.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

}  // namespace tov
