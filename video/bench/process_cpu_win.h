// The CPU this process has used so far, for benchmarks that report CPU beside wall time.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tov::bench {

inline double processCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

}  // namespace tov::bench
