// Runs the calling thread's window messages in tests whose windows live on that thread.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace tov::test {

// Runs messages until `done` holds or `limit` passes (false then).
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(1);
    }
    return true;
}

inline void pumpFor(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    pumpUntil([&] { return std::chrono::steady_clock::now() > until; });
}

}  // namespace tov::test
