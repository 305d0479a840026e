// What changed between two paints: the area a repaint has to cover so that the window shows the
// new drawing, found by comparing the drawing lists op by op.
#pragma once

#include <optional>

#include "panel/draw_list.h"

namespace tov::panel {

// The area (DIPs) where `before` and `after` differ: nothing when they draw the same, the whole
// `window` when their shape differs (another number of ops or another kind at some place).
std::optional<RectF> changedArea(const DrawList& before, const DrawList& after,
                                 const RectF& window);

// The area an op paints on (a stroke's half width and a circle's radius included).
RectF opBounds(const DrawOp& op);

// Whether `op` paints anything inside `area`: the painter leaves out the rest on a partial
// repaint. Clip ops always count, so that the clip stack stays balanced.
bool touches(const DrawOp& op, const RectF& area);

}  // namespace tov::panel
