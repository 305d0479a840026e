// Where the picture goes: the window shape for a stream, and the picture's place in the window.
#pragma once

#include <cstdint>

namespace tov {

struct Size {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// The client size that gives a stream of `stream` its own shape on a work area: landscape takes
// 62% of the width (at most 80% of the height), portrait 82% of the height. Zero for a
// non-positive stream or work area.
Size shapeClientSize(Size stream, Size workArea);

// The whole picture scaled to fit `back` and centred; the rest stays black. Empty when either
// size is not positive.
Rect fitWithBars(Size stream, Size back);

// The part of the decoded texture that holds the picture: the decoder may add alignment rows and
// columns beyond the stream size.
Rect pictureSource(Size texture, Size stream);

// Decides when the window should take a stream's shape: on the first config and whenever the
// orientation flips (video thread only).
class ReshapeTracker {
  public:
    // True when the window should be reshaped for a config of this size.
    bool onConfig(int32_t width, int32_t height);

  private:
    bool postPending_ = true;
    bool lastLandscape_ = true;
};

// Whether the phone's reported screen size should reshape the window: only before any stream
// size is known, for a positive width, and when no size was known before or the orientation
// (width < height) changed.
bool expectedSizeReshapeDue(Size previous, Size next, bool streamSizeKnown);

}  // namespace tov
