// What a panel paint consists of: a flat list of drawing primitives in DIPs, built by the
// portable layer and replayed by the Direct2D painter (or inspected by the tests).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/qr_code.h"

namespace tov::panel {

struct RectF {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;

    float width() const { return right - left; }
    float height() const { return bottom - top; }
    bool contains(float x, float y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    RectF inflated(float dx, float dy) const {
        return {left - dx, top - dy, right + dx, bottom + dy};
    }
    RectF offset(float dx, float dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const RectF&) const = default;
};

RectF intersect(const RectF& a, const RectF& b);
// The smallest rectangle holding both; an empty one adds nothing.
RectF unite(const RectF& a, const RectF& b);

// 0xRRGGBB plus opacity.
struct Color {
    uint32_t rgb = 0;
    float alpha = 1.0f;

    bool operator==(const Color&) const = default;
};

// The text formats of the panel. The painter maps each to a DirectWrite format; the measurer
// gives sizes for the same formats.
enum class Font {
    Display15,  // semibold display face
    Display18,
    Display24,
    Text12,  // regular text face
    Text13,
    Text13_5,
    Strong12_5,  // semibold text face
    Strong13_5,
    Mono13,
    Icon10,  // icon font
    Icon15,
};
float fontSize(Font font);

enum class Align { Leading, Centre, Trailing };

struct DrawOp {
    enum class Kind {
        Fill,      // rect with radius
        Stroke,    // rect outline with radius and width
        Circle,    // centre (rect.left, rect.top), radius in `radius`
        Text,      // text laid out in rect
        PushClip,  // clip to rect until the matching PopClip
        PopClip,
        QrCode,  // `qr` with its quiet zone, centred in rect (see placeQrCode)
    };
    Kind kind = Kind::Fill;
    RectF rect;
    Color color;
    float radius = 0;
    float width = 1;  // stroke width
    std::wstring text;
    Font font = Font::Text13;
    bool wrap = false;  // word-wrap inside rect's width
    bool centreVertically = false;
    Align align = Align::Leading;
    QrSymbol qr;

    bool operator==(const DrawOp&) const = default;
};

// A QR symbol on screen: whole device pixels a module, so that no module is blurred or seamed.
// Positions and sizes in device pixels; `side` includes the quiet zone.
struct QrPlacement {
    int left = 0;
    int top = 0;
    int modulePixels = 0;
    int side = 0;
};
// The smallest module a camera is asked to read: 4 DIPs, rounded down to whole pixels.
constexpr float kQrMinModuleDips = 4;
// The side a box needs in DIPs to show a symbol of `modules` a side at the smallest module.
float qrCodeSide(int modules);
// The largest whole-pixel module that fits the symbol and its quiet zone in the box, at least
// kQrMinModuleDips × scale pixels (down to whole pixels), centred in the box.
QrPlacement placeQrCode(const RectF& box, int modules, float scale);

class DrawList {
  public:
    void fill(const RectF& r, Color c, float radius = 0);
    void stroke(const RectF& r, Color c, float radius = 0, float width = 1);
    void circle(float cx, float cy, float radius, Color c);
    void text(const std::wstring& s, const RectF& r, Font f, Color c, bool wrap = false,
              Align align = Align::Leading, bool centreVertically = false);
    void pushClip(const RectF& r);
    void popClip();
    // Dark modules on white, with the quiet zone, placed by placeQrCode at paint time.
    void qrCode(const QrSymbol& symbol, const RectF& box);

    const std::vector<DrawOp>& ops() const { return ops_; }
    void clear() { ops_.clear(); }

  private:
    std::vector<DrawOp> ops_;
};

}  // namespace tov::panel
