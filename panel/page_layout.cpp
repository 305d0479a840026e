#include "panel/page_layout.h"

#include <algorithm>

#include "panel/colors.h"

namespace tov::panel {

namespace {
constexpr float kRowPadding = 14;
constexpr float kLabelHelpGap = 3;
Color rgb(uint32_t c) {
    return {c, 1.0f};
}
}  // namespace

void PageLayout::header(const std::wstring& title, const std::wstring& subtitle) {
    float w = column_.width();
    ctx_.draw.text(title, {column_.left, y_, column_.right, y_ + 34}, Font::Display24,
                   rgb(colors::kPrimaryText));
    float subTop = y_ + 36;
    float subHeight = ctx_.textHeight(subtitle, Font::Text13_5, w);
    ctx_.draw.text(subtitle, {column_.left, subTop, column_.right, subTop + subHeight},
                   Font::Text13_5, rgb(colors::kSecondaryText), true);
    y_ = subTop + subHeight + 22;
}

void PageLayout::notice(const std::wstring& text) {
    float w = column_.width() - 32;
    float h = ctx_.textHeight(text, Font::Text13, w);
    RectF box{column_.left, y_, column_.right, y_ + h + 20};
    ctx_.draw.fill(box, {colors::kAccent, 0.12f}, 8);
    ctx_.draw.stroke(box.inflated(-0.5f, -0.5f), {colors::kAccent, 0.35f}, 8);
    ctx_.draw.text(text, {box.left + 16, box.top + 10, box.right - 16, box.bottom - 10},
                   Font::Text13, rgb(colors::kPrimaryText), true);
    y_ = box.bottom + 16;
}

float PageLayout::rowHeight(const Row& row, float textWidth) {
    float h = kRowPadding * 2 + ctx_.textHeight(row.label, Font::Text13_5, textWidth);
    if (!row.help.empty()) h += kLabelHelpGap + ctx_.textHeight(row.help, Font::Text12, textWidth);
    return std::max(h, kRowMinHeight);
}

void PageLayout::section(const std::wstring& heading, const std::vector<Row>& rows) {
    if (!heading.empty()) {
        ctx_.draw.text(heading, {column_.left + 2, y_, column_.right, y_ + 18}, Font::Strong12_5,
                       rgb(colors::kSecondaryText));
        y_ += 26;
    }
    float cardWidth = column_.width();
    std::vector<float> heights;
    float total = 0;
    for (const auto& row : rows) {
        float textWidth = std::max(cardWidth - 32 - row.controlWidth - 20, 40.0f);
        heights.push_back(rowHeight(row, textWidth));
        total += heights.back();
    }
    RectF card{column_.left, y_, column_.right, y_ + total};
    ctx_.draw.fill(card, rgb(colors::kCardFill), 8);
    ctx_.draw.stroke(card.inflated(-0.5f, -0.5f), rgb(colors::kCardBorder), 8);
    float top = y_;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        float h = heights[i];
        if (i > 0)
            ctx_.draw.fill({card.left + 1, top, card.right - 1, top + 1}, rgb(colors::kSeparator));
        float textWidth = std::max(cardWidth - 32 - row.controlWidth - 20, 40.0f);
        float labelH = ctx_.textHeight(row.label, Font::Text13_5, textWidth);
        float helpH = row.help.empty()
                          ? 0
                          : kLabelHelpGap + ctx_.textHeight(row.help, Font::Text12, textWidth);
        float textTop = top + (h - labelH - helpH) / 2;
        ctx_.draw.text(
            row.label, {card.left + 16, textTop, card.left + 16 + textWidth, textTop + labelH},
            Font::Text13_5, rgb(row.enabled ? colors::kPrimaryText : colors::kDisabledText), true);
        if (!row.help.empty()) {
            float helpTop = textTop + labelH + kLabelHelpGap;
            ctx_.draw.text(row.help,
                           {card.left + 16, helpTop, card.left + 16 + textWidth, helpTop + helpH},
                           Font::Text12, rgb(colors::kHelpText), true);
        }
        if (row.drawControl)
            row.drawControl({card.right - 16 - row.controlWidth, top, card.right - 16, top + h});
        top += h;
    }
    y_ = card.bottom + 24;
}

void PageLayout::paragraph(const std::wstring& text, uint32_t colour) {
    float h = ctx_.textHeight(text, Font::Text12, column_.width() - 4);
    ctx_.draw.text(text, {column_.left + 2, y_, column_.right - 2, y_ + h}, Font::Text12,
                   rgb(colour), true);
    y_ += h + 8;
}

RectF PageLayout::reserve(float height) {
    RectF r{column_.left, y_, column_.right, y_ + height};
    y_ += height;
    return r;
}

}  // namespace tov::panel
