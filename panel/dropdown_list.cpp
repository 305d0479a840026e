#include "panel/dropdown_list.h"

#include <algorithm>

#include "panel/colors.h"

namespace tov::panel {

namespace {
constexpr wchar_t kCheckMark[] = L"\uE73E";
constexpr float kMargin = 8;
constexpr float kListMaxWidth = 440;
Color rgb(uint32_t c, float alpha = 1.0f) {
    return {c, alpha};
}
}  // namespace

ListPlacement placeList(const RectF& anchor, size_t itemCount, float width, const RectF& window) {
    width = std::min(std::max(width, anchor.width()),
                     std::max(window.width() - 2 * kMargin, anchor.width()));
    float full = itemCount * kListItemHeight + 2 * kListInset;
    float room = std::max(window.height() - 2 * kMargin, kListItemHeight + 2 * kListInset);
    float height = std::min(full, room);
    // A list wider than its control grows to the left, keeping the control's right edge.
    float left = std::max(window.left + kMargin,
                          std::min(anchor.right - width, window.right - width - kMargin));
    float below = window.bottom - kMargin - (anchor.bottom + 4);
    float above = anchor.top - 4 - (window.top + kMargin);
    float top;
    if (height <= below)
        top = anchor.bottom + 4;
    else if (height <= above || above > below)
        top = std::max(window.top + kMargin, anchor.top - 4 - height);
    else
        top = window.bottom - kMargin - height;
    top = std::clamp(top, window.top + kMargin,
                     std::max(window.top + kMargin, window.bottom - kMargin - height));
    return {{left, top, left + width, top + height}, full - height};
}

void drawDropdownList(PageContext& ctx, const RectF& window) {
    if (!ctx.state.dropdown) return;
    OpenDropdown& dd = *ctx.state.dropdown;
    // Wide enough for the longest line, within reason.
    float widest = 0;
    for (const auto& item : dd.items)
        widest = std::max({widest, ctx.textWidth(item.title, Font::Text13),
                           ctx.textWidth(item.second, Font::Text12)});
    float width = std::min(widest + 2 * kListInset + 32 + 14, kListMaxWidth);
    ListPlacement place = placeList(dd.anchor, dd.items.size(), width, window);
    dd.maxScroll = place.maxScroll;
    dd.scroll = std::clamp(dd.scroll, 0.0f, place.maxScroll);
    const RectF& card = place.card;
    for (int n = 3; n >= 1; --n)
        ctx.draw.fill(
            {card.left - 2.0f * n, card.top - n, card.right + 2.0f * n, card.bottom + 3.0f * n},
            rgb(colors::kBlack, 0.10f), 8 + n);
    ctx.draw.fill(card, rgb(colors::kDropdownFill), 8);
    ctx.draw.stroke(card.inflated(-0.5f, -0.5f), rgb(colors::kControlBorder), 8);
    RectF inside = card.inflated(0, -kListInset);
    ctx.draw.pushClip(inside);
    for (size_t i = 0; i < dd.items.size(); ++i) {
        int hit = hit::kListItemFirst + static_cast<int>(i);
        float y = card.top + kListInset + i * kListItemHeight - dd.scroll;
        RectF item{card.left + kListInset, y, card.right - kListInset, y + kListItemHeight};
        if (item.bottom <= inside.top || item.top >= inside.bottom) continue;
        bool hover = ctx.state.hovered == hit;
        if (hover) ctx.draw.fill(item, rgb(colors::kAccent), 6);
        if (static_cast<int>(i) == dd.current)
            ctx.draw.text(kCheckMark, {item.left + 8, item.top, item.left + 28, item.bottom},
                          Font::Icon10, rgb(hover ? colors::kWhite : colors::kAccent), false,
                          Align::Centre, true);
        RectF textArea{item.left + 32, item.top + 5, item.right - 10, item.bottom - 4};
        ctx.draw.text(dd.items[i].title,
                      {textArea.left, textArea.top, textArea.right, textArea.top + 19},
                      Font::Text13, rgb(hover ? colors::kWhite : colors::kPrimaryText));
        ctx.draw.text(dd.items[i].second,
                      {textArea.left, textArea.top + 18, textArea.right, textArea.bottom},
                      Font::Text12, rgb(hover ? colors::kHoveredItemSecond : colors::kHelpText));
        RectF pressable = intersect(item, inside);
        ctx.addHit(pressable, hit, true);
    }
    ctx.draw.popClip();
    if (place.maxScroll > 0) {
        // A thin thumb shows that the list goes on.
        float view = inside.height();
        float length = std::max(view * view / (view + place.maxScroll), 24.0f);
        float pos = inside.top + (view - length) * dd.scroll / place.maxScroll;
        ctx.draw.fill({card.right - 5, pos, card.right - 2, pos + length},
                      rgb(colors::kControlBorder), 1.5f);
    }
}

}  // namespace tov::panel
