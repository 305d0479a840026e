#include "panel/status_line.h"

#include <algorithm>

#include "panel/colors.h"
#include "panel/sidebar.h"
#include "platform/text.h"

namespace tov::panel {
namespace {

constexpr float kInset = 20;
constexpr float kMargin = 9;
constexpr int kMaxLines = 3;

float textWidthFor(float windowWidth) {
    return std::max(windowWidth - kSidebarWidth - 2 * kInset, 100.0f);
}

}  // namespace

float statusLineHeight(PageContext& ctx, float windowWidth) {
    const PanelModel& m = ctx.model;
    if (m.activityText.empty()) return 0;
    const float lineHeight = ctx.textHeight(L"M", Font::Text12, 1000);
    const float text =
        ctx.textHeight(widen(m.activityText), Font::Text12, textWidthFor(windowWidth));
    return std::min(text, lineHeight * kMaxLines) + 2 * kMargin;
}

void drawStatusLine(PageContext& ctx, const RectF& area) {
    const PanelModel& m = ctx.model;
    if (m.activityText.empty() || area.height() <= 0) return;
    ctx.draw.fill(area, {colors::kSidebar, 1.0f});
    ctx.draw.fill({area.left, area.top, area.right, area.top + 1}, {colors::kSeparator, 1.0f});
    const RectF text{area.left + kInset, area.top + kMargin,
                     area.left + kInset + textWidthFor(area.right), area.bottom - kMargin};
    // Anything past three lines is cut rather than drawn over the window's edge.
    ctx.draw.pushClip(text);
    ctx.draw.text(widen(m.activityText), text, Font::Text12,
                  {m.activityFailed ? colors::kAmber : colors::kSecondaryText, 1.0f}, true);
    ctx.draw.popClip();
}

}  // namespace tov::panel
