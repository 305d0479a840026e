#include "panel/d2d_painter_win.h"

#include "panel/draw_diff.h"

namespace tov::panel {

namespace {

D2D1_RECT_F toD2D(const RectF& r) {
    return D2D1::RectF(r.left, r.top, r.right, r.bottom);
}

D2D1_COLOR_F toD2D(Color c) {
    return D2D1::ColorF(((c.rgb >> 16) & 0xFF) / 255.0f, ((c.rgb >> 8) & 0xFF) / 255.0f,
                        (c.rgb & 0xFF) / 255.0f, c.alpha);
}

}  // namespace

void D2DPainter::releaseTargetResources() {
    brush_.Reset();
    target_ = nullptr;
}

void D2DPainter::setColour(Color c) {
    brush_->SetColor(toD2D(c));
}

void D2DPainter::paint(ID2D1RenderTarget* target, const DrawList& list,
                       const std::optional<RectF>& area) {
    if (target != target_ || !brush_) {
        brush_.Reset();
        if (FAILED(target->CreateSolidColorBrush(D2D1::ColorF(0, 0, 0), &brush_))) return;
        target_ = target;
    }
    int clips = 0;
    if (area) {
        target->PushAxisAlignedClip(toD2D(*area), D2D1_ANTIALIAS_MODE_ALIASED);
        ++clips;
    }
    for (const DrawOp& op : list.ops()) {
        if (area && !touches(op, *area)) continue;
        switch (op.kind) {
            case DrawOp::Kind::Fill:
                setColour(op.color);
                if (op.radius > 0)
                    target->FillRoundedRectangle(
                        D2D1::RoundedRect(toD2D(op.rect), op.radius, op.radius), brush_.Get());
                else
                    target->FillRectangle(toD2D(op.rect), brush_.Get());
                break;
            case DrawOp::Kind::Stroke:
                setColour(op.color);
                if (op.radius > 0)
                    target->DrawRoundedRectangle(
                        D2D1::RoundedRect(toD2D(op.rect), op.radius, op.radius), brush_.Get(),
                        op.width);
                else
                    target->DrawRectangle(toD2D(op.rect), brush_.Get(), op.width);
                break;
            case DrawOp::Kind::Circle:
                setColour(op.color);
                target->FillEllipse(
                    D2D1::Ellipse(D2D1::Point2F(op.rect.left, op.rect.top), op.radius, op.radius),
                    brush_.Get());
                break;
            case DrawOp::Kind::Text:
                text(op);
                break;
            case DrawOp::Kind::QrCode:
                qrCode(op);
                break;
            case DrawOp::Kind::PushClip:
                target->PushAxisAlignedClip(toD2D(op.rect), D2D1_ANTIALIAS_MODE_ALIASED);
                ++clips;
                break;
            case DrawOp::Kind::PopClip:
                if (clips > 0) {
                    target->PopAxisAlignedClip();
                    --clips;
                }
                break;
        }
    }
    while (clips-- > 0) target->PopAxisAlignedClip();
}

void D2DPainter::text(const DrawOp& op) {
    if (op.text.empty() || op.rect.width() <= 0) return;
    const std::wstring* s = &op.text;
    Font font = op.font;
    std::wstring standIn;
    if ((font == Font::Icon10 || font == Font::Icon15) && !formats_.hasIconFont()) {
        standIn = iconStandIn(op.text);
        if (standIn.empty()) return;
        s = &standIn;
        font = Font::Text12;
    }
    ComPtr<IDWriteTextLayout> layout =
        formats_.layout(*s, font, op.rect.width(), std::max(op.rect.height(), 1.0f), op.wrap);
    if (!layout) return;
    switch (op.align) {
        case Align::Leading:
            layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
            break;
        case Align::Centre:
            layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
            break;
        case Align::Trailing:
            layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_TRAILING);
            break;
    }
    if (op.centreVertically) layout->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    setColour(op.color);
    target_->DrawTextLayout(D2D1::Point2F(op.rect.left, op.rect.top), layout.Get(), brush_.Get(),
                            D2D1_DRAW_TEXT_OPTIONS_CLIP);
}

// Whole device pixels a module and no antialiasing, so that neighbouring modules meet without a
// seam; one rectangle per run of dark modules in a row.
void D2DPainter::qrCode(const DrawOp& op) {
    const QrSymbol& qr = op.qr;
    if (qr.empty()) return;
    float dpiX = 96, dpiY = 96;
    target_->GetDpi(&dpiX, &dpiY);
    const QrPlacement at = placeQrCode(op.rect, qr.size, dpiX / 96.0f);
    const float dips = 96.0f / dpiX;
    auto pixelRect = [&](int left, int top, int right, int bottom) {
        return D2D1::RectF(left * dips, top * dips, right * dips, bottom * dips);
    };
    const D2D1_ANTIALIAS_MODE mode = target_->GetAntialiasMode();
    target_->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
    setColour({0xFFFFFF});
    target_->FillRectangle(pixelRect(at.left, at.top, at.left + at.side, at.top + at.side),
                           brush_.Get());
    setColour({0x000000});
    const int m = at.modulePixels;
    const int originX = at.left + kQrQuietZone * m, originY = at.top + kQrQuietZone * m;
    for (int y = 0; y < qr.size; ++y)
        for (int x = 0; x < qr.size;) {
            if (!qr.dark(x, y)) {
                ++x;
                continue;
            }
            int end = x;
            while (end < qr.size && qr.dark(end, y)) ++end;
            target_->FillRectangle(pixelRect(originX + x * m, originY + y * m, originX + end * m,
                                             originY + (y + 1) * m),
                                   brush_.Get());
            x = end;
        }
    target_->SetAntialiasMode(mode);
}

}  // namespace tov::panel
