// The status line along the bottom of the page area: what the last file dropped on the video
// window or the last screenshot came to. Shown only while there is something to say.
#pragma once

#include "panel/page_context.h"

namespace tov::panel {

// Its height for this model and window width: 0 without a text, else the text (at most three
// lines) and its margins.
float statusLineHeight(PageContext& ctx, float windowWidth);
// Draws it into `area` (the full width right of the sidebar, statusLineHeight tall).
void drawStatusLine(PageContext& ctx, const RectF& area);

}  // namespace tov::panel
