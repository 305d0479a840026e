#include "panel/hit.h"

namespace tov::panel {

const HitRegion* hitTest(const std::vector<HitRegion>& regions, float x, float y) {
    for (const auto& r : regions)
        if (r.rect.contains(x, y)) return &r;
    return nullptr;
}

}  // namespace tov::panel
