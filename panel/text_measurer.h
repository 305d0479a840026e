// How big a text is in one of the panel's formats. DirectWrite answers on Windows; the tests use
// a fixed-width stand-in.
#pragma once

#include <string_view>

#include "panel/draw_list.h"

namespace tov::panel {

struct SizeF {
    float width = 0;
    float height = 0;
};

class TextMeasurer {
  public:
    virtual ~TextMeasurer() = default;
    // maxWidth bounds the layout; with wrap the text breaks into lines at word boundaries.
    virtual SizeF measure(std::wstring_view text, Font font, float maxWidth, bool wrap) = 0;
};

}  // namespace tov::panel
