// Tells the user's own moves and resizes of a window (the move or size loop they drive with the
// mouse or the keys) from the program's SetWindowPos calls: only theirs mark the window as placed
// by the user, so that an automatic layout leaves it where they put it. The mark is also kept as
// a property of the window, for code that holds only its handle.
#pragma once

#include <windows.h>

namespace tov {

class UserPlacement {
  public:
    // Every message of the window's procedure; true when the user has just finished moving or
    // sizing the window to a new rectangle (it is then marked).
    bool onMessage(HWND window, UINT message);

    static bool isMarked(HWND window);
    // Marks or clears the window (a placement restored from settings, or forgotten). A window is
    // cleared before it is destroyed (or its procedure passes WM_NCDESTROY here).
    static void mark(HWND window, bool placed);

  private:
    RECT start_{};
    bool moving_ = false;
};

}  // namespace tov
