#include "platform/win/user_placement_win.h"

namespace tov {
namespace {

constexpr wchar_t kProperty[] = L"TovenmarUserPlaced";

}  // namespace

bool UserPlacement::onMessage(HWND window, UINT message) {
    switch (message) {
        case WM_ENTERSIZEMOVE:
            moving_ = GetWindowRect(window, &start_) != FALSE;
            return false;
        case WM_EXITSIZEMOVE: {
            RECT end{};
            const bool moved = moving_ && GetWindowRect(window, &end) && !EqualRect(&end, &start_);
            moving_ = false;
            // A click on the caption without a move leaves the window as the program placed it.
            if (moved) mark(window, true);
            return moved;
        }
        case WM_NCDESTROY:
            mark(window, false);
            return false;
        default:
            return false;
    }
}

bool UserPlacement::isMarked(HWND window) {
    return window && GetPropW(window, kProperty) != nullptr;
}

void UserPlacement::mark(HWND window, bool placed) {
    if (!window) return;
    if (placed) {
        SetPropW(window, kProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
    } else {
        RemovePropW(window, kProperty);
    }
}

}  // namespace tov
