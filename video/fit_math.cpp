#include "video/fit_math.h"

#include <algorithm>

namespace tov {

Size shapeClientSize(Size stream, Size workArea) {
    if (stream.width <= 0 || stream.height <= 0 || workArea.width <= 0 || workArea.height <= 0) {
        return {};
    }
    const double aspect = static_cast<double>(stream.width) / stream.height;
    double w;
    double h;
    if (aspect >= 1.0) {
        w = static_cast<int32_t>(0.62 * workArea.width);
        h = w / aspect;
        if (h > 0.8 * workArea.height) {
            h = static_cast<int32_t>(0.8 * workArea.height);
            w = h * aspect;
        }
    } else {
        h = static_cast<int32_t>(0.82 * workArea.height);
        w = h * aspect;
    }
    return {static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

Rect fitWithBars(Size stream, Size back) {
    if (stream.width <= 0 || stream.height <= 0 || back.width <= 0 || back.height <= 0) return {};
    const double scale = std::min(static_cast<double>(back.height) / stream.height,
                                  static_cast<double>(back.width) / stream.width);
    const auto drawWidth = static_cast<int32_t>(scale * stream.width);
    const auto drawHeight = static_cast<int32_t>(scale * stream.height);
    Rect r;
    r.left = (back.width - drawWidth) / 2;
    r.right = r.left + drawWidth;
    r.top = (back.height - drawHeight) / 2;
    r.bottom = r.top + drawHeight;
    return r;
}

Rect pictureSource(Size texture, Size stream) {
    return {0, 0, std::min(texture.width, stream.width), std::min(texture.height, stream.height)};
}

bool ReshapeTracker::onConfig(int32_t width, int32_t height) {
    const bool landscape = width >= height;
    if (!postPending_ && landscape == lastLandscape_) return false;
    postPending_ = false;
    lastLandscape_ = landscape;
    return true;
}

bool expectedSizeReshapeDue(Size previous, Size next, bool streamSizeKnown) {
    if (streamSizeKnown || next.width <= 0) return false;
    if (previous.width <= 0) return true;
    return (previous.width < previous.height) != (next.width < next.height);
}

}  // namespace tov
