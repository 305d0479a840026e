// A text measurer for the tests: every character is half the font size wide, a line is 1.3 times
// the font size tall, and wrapping breaks at spaces.
#pragma once

#include <algorithm>
#include <string_view>

#include "panel/text_measurer.h"

namespace tov::panel::test {

class FixedMeasurer : public TextMeasurer {
  public:
    SizeF measure(std::wstring_view text, Font font, float maxWidth, bool wrap) override {
        float charWidth = fontSize(font) / 2;
        float lineHeight = fontSize(font) * 1.3f;
        if (!wrap) return {charWidth * text.size(), lineHeight};
        size_t perLine = std::max<size_t>(1, static_cast<size_t>(maxWidth / charWidth));
        int lines = 1;
        size_t used = 0;
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find(L' ', pos);
            if (end == std::wstring_view::npos) end = text.size();
            size_t word = end - pos;
            size_t need = used == 0 ? word : used + 1 + word;
            if (need > perLine && used > 0) {
                ++lines;
                used = word;
            } else {
                used = need;
            }
            pos = end + 1;
        }
        float widest = std::min(charWidth * text.size(), maxWidth);
        return {widest, lineHeight * lines};
    }
};

}  // namespace tov::panel::test
