#include <windows.h>

#include "platform/clock.h"

namespace tov {

int64_t nowMicros() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER c{};
    QueryPerformanceCounter(&c);
    // Split so that the product never overflows 64 bits.
    return (c.QuadPart / frequency) * 1000000 + (c.QuadPart % frequency) * 1000000 / frequency;
}

uint64_t tickMs() { return GetTickCount64(); }

LocalTime localTime() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return {st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

void sleepMs(uint32_t ms) { Sleep(ms); }

}  // namespace tov
