// A picture as 32-bit BGRA pixels: what the video window reads back for a screenshot and what
// the clipboard turns into DIBs and PNGs.
#pragma once

#include <cstdint>
#include <string>

namespace tov {

// Rows top to bottom, each width x 4 bytes.
struct Bitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    std::string pixels;
};

}  // namespace tov
