#include "panel/window_geometry.h"

#include <algorithm>

namespace tov::panel {

int scaleToDpi(int dips, unsigned dpi) {
    return static_cast<int>(static_cast<long long>(dips) * dpi / 96);
}

IntRect centredInWorkArea(const IntRect& frame, const IntRect& work) {
    int width = std::min(frame.width(), work.width());
    int height = std::min(frame.height(), work.height());
    int left = work.left + (work.width() - width) / 2;
    int top = work.top + (work.height() - height) / 2;
    return {left, top, left + width, top + height};
}

}  // namespace tov::panel
