// The program's clocks.
#pragma once

#include <cstdint>

namespace tov {

// Monotonic microseconds from the performance counter: whole seconds x 1,000,000 plus the
// remainder x 1,000,000 / frequency, in 64-bit integers.
int64_t nowMicros();
// Monotonic milliseconds (GetTickCount64).
uint64_t tickMs();

struct LocalTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};
LocalTime localTime();

void sleepMs(uint32_t ms);

}  // namespace tov
