#include "panel/draw_list.h"

#include <algorithm>
#include <cmath>

namespace tov::panel {

RectF intersect(const RectF& a, const RectF& b) {
    RectF r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

RectF unite(const RectF& a, const RectF& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

float fontSize(Font font) {
    switch (font) {
        case Font::Display15:
            return 15;
        case Font::Display18:
            return 18;
        case Font::Display24:
            return 24;
        case Font::Text12:
            return 12;
        case Font::Text13:
            return 13;
        case Font::Text13_5:
            return 13.5f;
        case Font::Strong12_5:
            return 12.5f;
        case Font::Strong13_5:
            return 13.5f;
        case Font::Mono13:
            return 13;
        case Font::Icon10:
            return 10;
        case Font::Icon15:
            return 15;
    }
    return 13;
}

float qrCodeSide(int modules) {
    return kQrMinModuleDips * static_cast<float>(modules + 2 * kQrQuietZone);
}

QrPlacement placeQrCode(const RectF& box, int modules, float scale) {
    QrPlacement p;
    const int span = modules + 2 * kQrQuietZone;
    // The small allowance keeps 4 × 1.25 from coming out as 4.999 pixels.
    const int smallest = std::max(1, static_cast<int>(kQrMinModuleDips * scale + 0.01f));
    const float room = std::min(box.width(), box.height()) * scale;
    p.modulePixels = std::max(smallest, static_cast<int>(room / static_cast<float>(span)));
    p.side = p.modulePixels * span;
    p.left = static_cast<int>(std::lround(box.left * scale + (box.width() * scale - p.side) / 2));
    p.top = static_cast<int>(std::lround(box.top * scale + (box.height() * scale - p.side) / 2));
    return p;
}

void DrawList::fill(const RectF& r, Color c, float radius) {
    DrawOp op;
    op.kind = DrawOp::Kind::Fill;
    op.rect = r;
    op.color = c;
    op.radius = radius;
    ops_.push_back(std::move(op));
}

void DrawList::stroke(const RectF& r, Color c, float radius, float width) {
    DrawOp op;
    op.kind = DrawOp::Kind::Stroke;
    op.rect = r;
    op.color = c;
    op.radius = radius;
    op.width = width;
    ops_.push_back(std::move(op));
}

void DrawList::circle(float cx, float cy, float radius, Color c) {
    DrawOp op;
    op.kind = DrawOp::Kind::Circle;
    op.rect = {cx, cy, cx, cy};
    op.color = c;
    op.radius = radius;
    ops_.push_back(std::move(op));
}

void DrawList::text(const std::wstring& s, const RectF& r, Font f, Color c, bool wrap, Align align,
                    bool centreVertically) {
    DrawOp op;
    op.kind = DrawOp::Kind::Text;
    op.rect = r;
    op.color = c;
    op.text = s;
    op.font = f;
    op.wrap = wrap;
    op.align = align;
    op.centreVertically = centreVertically;
    ops_.push_back(std::move(op));
}

void DrawList::pushClip(const RectF& r) {
    DrawOp op;
    op.kind = DrawOp::Kind::PushClip;
    op.rect = r;
    ops_.push_back(std::move(op));
}

void DrawList::qrCode(const QrSymbol& symbol, const RectF& box) {
    DrawOp op;
    op.kind = DrawOp::Kind::QrCode;
    op.rect = box;
    op.qr = symbol;
    ops_.push_back(std::move(op));
}

void DrawList::popClip() {
    DrawOp op;
    op.kind = DrawOp::Kind::PopClip;
    ops_.push_back(std::move(op));
}

}  // namespace tov::panel
