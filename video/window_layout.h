// Where the panel and the phones' video windows go on one work area: every window seen whole,
// the phones beside the panel and each other, sharing the room there is.
#pragma once

#include <optional>
#include <vector>

#include "video/fit_math.h"

namespace tov {

// One phone's video window.
struct PhoneWindowWish {
    // The phone's picture (its stream, or its screen before a stream); only its shape counts. A
    // picture not known yet is laid out as an upright 9:16 phone.
    Size picture;
    // The window rectangle the user moved or sized the window to, if they did.
    std::optional<Rect> userRect;
};

struct LayoutRequest {
    Rect work;  // the monitor's work area
    // The panel's window rectangle; empty when it is not on this work area (minimized, closed).
    Rect panel;
    bool panelUserPlaced = false;  // the user moved or sized it: it is never moved
    // How much larger a window is than its client area (caption and borders) at this DPI.
    Size frame;
    // The smallest video window for a landscape picture; a portrait one's is the same turned.
    Size minimum{320, 200};
    std::vector<PhoneWindowWish> phones;
};

struct WindowLayout {
    Rect panel;                // where the panel goes (unchanged unless moved aside)
    std::vector<Rect> phones;  // each phone's window rectangle, in the request's order
};

// Lays out the phones' windows. A window the user placed stays where they put it, only pulled
// into the work area (and turned with its phone). The others keep their picture's shape in their
// client area, as large as their shape on this work area at most, all shrunk alike until they fit
// beside the panel and each other. A panel the user has not placed moves to the work area's left
// edge when that gives the phones larger windows than they get beside it where it is. When even
// the smallest windows do not fit, they overlap each other in the widest room beside the panel,
// or at last the panel's right-hand part; every rectangle stays inside the work area and has a
// positive size.
WindowLayout layoutWindows(const LayoutRequest& request);

// The smallest window for a picture of this shape: `minimum` for a landscape picture, turned for
// a portrait one.
Size minimumWindowSize(Size picture, Size minimum);

}  // namespace tov
