// What the fuzz targets share: a check that names the broken rule, and a scratch file for targets
// that must go through a real file.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/text.h"

// A broken rule: name it on stderr, then stop, so the crash report says which.
#define REQUIRE(ok)                                                       \
    do {                                                                  \
        if (!(ok)) {                                                      \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #ok); \
            std::abort();                                                 \
        }                                                                 \
    } while (0)

namespace tov::fuzz {

// One file per process and name, in memory where the system offers it: rewriting a file on disk
// thousands of times a second is bound by the disk, not by the code under test.
inline std::wstring scratchFile(const char* name) {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return widen(std::string(folder) + "/tovenmar-" + name + "-" + std::to_string(getpid()));
}

}  // namespace tov::fuzz
