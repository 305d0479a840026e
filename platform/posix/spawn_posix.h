// Starting a child from a Windows-style command line, shared by the POSIX process helpers.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>

#include <string>

namespace tov {

// Spawns with stdout and stderr on `outFd`, stdin on `inFd` (/dev/null when it is -1), a fresh
// signal mask and default signal dispositions. Returns the pid or -1.
pid_t spawnWithOutput(const std::wstring& commandLine, int outFd, int inFd = -1);

// A wait status as an exit code: the code of a normal exit, else 1.
inline unsigned exitCodeOf(int status) {
    return WIFEXITED(status) ? static_cast<unsigned>(WEXITSTATUS(status)) : 1u;
}

}  // namespace tov
