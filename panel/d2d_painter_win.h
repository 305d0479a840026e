// Replays a panel draw list on a Direct2D render target (the window's, or a bitmap's in tests).
#pragma once

#include <d2d1.h>

#include <optional>

#include "panel/draw_list.h"
#include "panel/text_formats_win.h"
#include "platform/win/com_ptr.h"

namespace tov::panel {

class D2DPainter {
  public:
    explicit D2DPainter(const TextFormats& formats) : formats_(formats) {}
    // Draws between the caller's BeginDraw and EndDraw. With an `area` (DIPs) only that part of the
    // target is painted, and the ops that lie wholly outside it are left out.
    void paint(ID2D1RenderTarget* target, const DrawList& list,
               const std::optional<RectF>& area = std::nullopt);
    // Drops what belongs to the current target (its brush); called when the target goes.
    void releaseTargetResources();

  private:
    void setColour(Color c);
    void text(const DrawOp& op);
    void qrCode(const DrawOp& op);

    const TextFormats& formats_;
    ID2D1RenderTarget* target_ = nullptr;  // the target the brush was made for
    ComPtr<ID2D1SolidColorBrush> brush_;
};

}  // namespace tov::panel
