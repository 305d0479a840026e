// The shape every page shares: a header, an optional notice, then sections of rows inside cards.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "panel/page_context.h"

namespace tov::panel {

inline constexpr float kRowMinHeight = 56;

struct Row {
    std::wstring label;
    std::wstring help;  // may be empty
    float controlWidth = 0;
    bool enabled = true;
    std::function<void(const RectF&)> drawControl;  // gets the control's rectangle
};

class PageLayout {
  public:
    PageLayout(PageContext& ctx, const RectF& column, float top)
        : ctx_(ctx), column_(column), y_(top) {}

    // Title in the display face, subtitle 36 DIPs lower; the first section starts 22 DIPs
    // under the subtitle.
    void header(const std::wstring& title, const std::wstring& subtitle);
    // A one-line notice under the header.
    void notice(const std::wstring& text);
    // An optional heading, then a card holding the rows.
    void section(const std::wstring& heading, const std::vector<Row>& rows);
    // A plain wrapped paragraph in secondary or help text.
    void paragraph(const std::wstring& text, uint32_t colour);
    // Space before the next item.
    void gap(float dips) { y_ += dips; }
    // A row of content that is not in a card (for example a lone button); returns its rectangle.
    RectF reserve(float height);

    float y() const { return y_; }
    const RectF& column() const { return column_; }
    PageContext& ctx() { return ctx_; }

  private:
    float rowHeight(const Row& row, float textWidth);

    PageContext& ctx_;
    RectF column_;
    float y_;
};

}  // namespace tov::panel
