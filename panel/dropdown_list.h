// The open dropdown's list: where it goes and how it is drawn over everything else.
#pragma once

#include "panel/page_context.h"

namespace tov::panel {

inline constexpr float kListItemHeight = 44;
inline constexpr float kListInset = 4;

struct ListPlacement {
    RectF card;
    float maxScroll = 0;  // how far the items can scroll when they do not all fit
};

// Below its control when it fits, else above when there is more room there; always inside the
// window, with the items scrolling when the window is too short for all of them.
// `width` is what the widest item needs; the list is never narrower than its control.
ListPlacement placeList(const RectF& anchor, size_t itemCount, float width, const RectF& window);

// Items are hits hit::kListItemFirst + index.
void drawDropdownList(PageContext& ctx, const RectF& window);

}  // namespace tov::panel
