// The sidebar: product name, status pill, headline, detail, main button, page buttons, the
// update card and the statistics.
#pragma once

#include <cstdint>
#include <optional>

#include "panel/page_context.h"

namespace tov::panel {

inline constexpr float kSidebarWidth = 248;

// The live pill's dot, which pulses between paints: the window redraws just the dot (DIPs).
struct PulseDot {
    float cx = 0;
    float cy = 0;
    float radius = 0;
    uint32_t rgb = 0;         // the dot at full strength
    uint32_t background = 0;  // the pill under it
};

// Returns the pulsing dot when the pill pulses.
std::optional<PulseDot> drawSidebar(PageContext& ctx, float windowHeight);

// The notice over the whole window while the App holds a What's new version: dims the window,
// leaves "Got it" as the only thing that can be pressed.
void drawWhatsNew(PageContext& ctx, const RectF& window);

}  // namespace tov::panel
