// The six page builders. Each takes the top y of the content and returns the bottom y of what it
// drew, registering its rows' controls in the context.
#pragma once

#include <string>

#include "panel/page_context.h"

namespace tov::panel {

float pageStream(PageContext& ctx, const RectF& column, float top);
float pageQuality(PageContext& ctx, const RectF& column, float top);
float pageInput(PageContext& ctx, const RectF& column, float top);
float pageWindow(PageContext& ctx, const RectF& column, float top);
float pageShortcuts(PageContext& ctx, const RectF& column, float top);
float pageSettings(PageContext& ctx, const RectF& column, float top);

// The notice under the Stream and Quality headers; empty when the phone is connected and its
// encoders were read.
std::wstring phoneNotice(const PanelModel& m);

}  // namespace tov::panel
