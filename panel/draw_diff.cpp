#include "panel/draw_diff.h"

#include <algorithm>

namespace tov::panel {

RectF opBounds(const DrawOp& op) {
    switch (op.kind) {
        case DrawOp::Kind::Stroke:
            return op.rect.inflated(op.width / 2, op.width / 2);
        case DrawOp::Kind::Circle:
            return {op.rect.left - op.radius, op.rect.top - op.radius, op.rect.left + op.radius,
                    op.rect.top + op.radius};
        default:
            return op.rect;
    }
}

bool touches(const DrawOp& op, const RectF& area) {
    if (op.kind == DrawOp::Kind::PushClip || op.kind == DrawOp::Kind::PopClip) return true;
    return !intersect(opBounds(op), area).empty();
}

std::optional<RectF> changedArea(const DrawList& before, const DrawList& after,
                                 const RectF& window) {
    const auto& a = before.ops();
    const auto& b = after.ops();
    if (a.size() != b.size()) return window;
    RectF area;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        if (a[i].kind != b[i].kind) return window;
        // A clip that moved changes what every op under it shows.
        if (a[i].kind == DrawOp::Kind::PushClip) return window;
        area = unite(area, unite(opBounds(a[i]), opBounds(b[i])));
    }
    if (area.empty()) return std::nullopt;
    return intersect(area, window);
}

}  // namespace tov::panel
