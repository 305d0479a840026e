// Where the panel window goes: its size in pixels for a DPI, kept inside the monitor's work area.
#pragma once

namespace tov::panel {

struct IntRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

inline constexpr int kInitialClientWidth = 1060;  // DIPs
inline constexpr int kInitialClientHeight = 760;
inline constexpr int kMinClientWidth = 860;
inline constexpr int kMinClientHeight = 680;

// DIPs x dpi / 96, truncated.
int scaleToDpi(int dips, unsigned dpi);

// `frame` is the window rectangle that the frame makes of a client rectangle at (0, 0) of the
// wanted size; the result is that rectangle clipped to the work area and centred in it.
IntRect centredInWorkArea(const IntRect& frame, const IntRect& work);

}  // namespace tov::panel
