// The sidebar: product name, status pill, headline, detail, main button, page buttons, the
// update card and the statistics.
#pragma once

#include "panel/page_context.h"

namespace tov::panel {

inline constexpr float kSidebarWidth = 248;

void drawSidebar(PageContext& ctx, float windowHeight);

// The notice over the whole window while the App holds a What's new version: dims the window,
// leaves "Got it" as the only thing that can be pressed.
void drawWhatsNew(PageContext& ctx, const RectF& window);

}  // namespace tov::panel
