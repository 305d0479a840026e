// The stream's shape: the typed ratio, the ratio of each shape choice, and where a point of the
// video frame lies on the phone's screen for each fit.
#pragma once

#include <cstdint>
#include <string>

#include "core/panel_model.h"

namespace tov {

// Shape choices (PanelModel::aspect).
enum ShapeChoice : int32_t {
    kShapeCustomSize = 0,
    kShapePhone = 1,
    kShape16x9 = 2,
    kShape4x3 = 3,
    kShape21x9 = 4,
    kShapeTyped = 5,
};

// Fit choices (PanelModel::fit).
enum FitChoice : int32_t { kFitBars = 0, kFitStretch = 1, kFitCrop = 2 };

struct ScreenSize {
    int32_t width = 0;
    int32_t height = 0;
    bool known() const { return width > 0 && height > 0; }
};

// "2.35", "16:9", "9/16": long side over short side in 0.2..10 before inverting, else 0. The whole
// text must be a number or two numbers joined by ":" or "/".
double parseTypedRatio(const std::string& text);

// Larger side over smaller; 0 unless both sides are at least 1.
double sideRatio(int64_t a, int64_t b);

// The ratio of the model's shape; 0 for none. The phone's own shape counts as none: the stream
// keeps whatever the phone's screen is.
double shapeRatio(const PanelModel& model);

// The name the phone shows for the shape: the fixed names, the typed text, or the ratio as
// "%.2f:1" when the shape has a ratio but no name.
std::string shapeName(const PanelModel& model);

// Moves a point of the video frame (0..1 each way) to the same point of the phone's screen (0..1)
// for the model's fit. Stretch, or any unknown size, leaves the point as it is.
void mapFrameToScreen(int32_t fit, int32_t videoWidth, int32_t videoHeight, ScreenSize screen,
                      float& x, float& y);

}  // namespace tov
