#include "core/stream_shape.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tov {

double parseTypedRatio(const std::string& text) {
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    char* next = nullptr;
    double ratio = std::strtod(begin, &next);
    if (next != end && (*next == ':' || *next == '/')) {
        const double second = std::strtod(next + 1, &next);
        ratio = second > 0 ? ratio / second : 0;
    }
    // An embedded NUL stops the parse early, so it fails this test too.
    if (next != end) return 0;
    // Written so that NaN fails as well.
    if (!(ratio >= 0.2 && ratio <= 10)) return 0;
    return ratio < 1 ? 1 / ratio : ratio;
}

double sideRatio(int64_t a, int64_t b) {
    if (a < 1 || b < 1) return 0;
    return static_cast<double>(std::max(a, b)) / static_cast<double>(std::min(a, b));
}

double shapeRatio(const PanelModel& model) {
    switch (model.aspect) {
        case kShapeCustomSize:
            return sideRatio(model.customWidth, model.customHeight);
        case kShape16x9:
            return 16.0 / 9.0;
        case kShape4x3:
            return 4.0 / 3.0;
        case kShape21x9:
            return 21.0 / 9.0;
        case kShapeTyped:
            return parseTypedRatio(model.ratio);
        default:
            return 0;
    }
}

std::string shapeName(const PanelModel& model) {
    switch (model.aspect) {
        case kShape16x9:
            return "16:9";
        case kShape4x3:
            return "4:3";
        case kShape21x9:
            return "21:9";
        case kShapeTyped:
            return model.ratio;
        default:
            break;
    }
    const double ratio = shapeRatio(model);
    if (ratio <= 0) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%.2f:1", ratio);
    return text;
}

void mapFrameToScreen(int32_t fit, int32_t videoWidth, int32_t videoHeight, ScreenSize screen,
                      float& x, float& y) {
    if (fit == kFitStretch || videoWidth <= 0 || videoHeight <= 0 || screen.width <= 0 ||
        screen.height <= 0) {
        return;
    }
    const double w = videoWidth, h = videoHeight;
    const double sw = screen.width, sh = screen.height;
    const double a = h / sh, b = w / sw;
    const double k = fit == kFitCrop ? std::max(a, b) : std::min(a, b);
    const double mx = (w * x - (w - sw * k) / 2) / (sw * k);
    const double my = (h * y - (h - sh * k) / 2) / (sh * k);
    x = static_cast<float>(std::clamp(mx, 0.0, 1.0));
    y = static_cast<float>(std::clamp(my, 0.0, 1.0));
}

}  // namespace tov
