#include <ctime>
#include <sys/time.h>

#include "platform/clock.h"

namespace tov {

int64_t nowMicros() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

uint64_t tickMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

LocalTime localTime() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm parts{};
    const time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &parts);
    return {parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(tv.tv_usec / 1000)};
}

void sleepMs(uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

}  // namespace tov
