// A WIC bitmap the panel can be drawn into, read back pixel by pixel and saved as PNG.
#pragma once

#include <d2d1.h>
#include <wincodec.h>

#include <cstdint>
#include <string>
#include <vector>

#include "panel/d2d_painter_win.h"
#include "panel/draw_list.h"
#include "platform/win/com_ptr.h"

namespace tov::panel::test {

class BitmapCanvas {
  public:
    // width and height in DIPs; the bitmap has dpi / 96 times as many pixels.
    bool create(int width, int height, float dpi = 96);
    bool render(D2DPainter& painter, const DrawList& list);
    // 0xRRGGBB of the pixel at a DIP position.
    uint32_t pixel(float x, float y);
    bool savePng(const std::wstring& path);
    ID2D1RenderTarget* target() { return target_.Get(); }

  private:
    ComPtr<IWICImagingFactory> wic_;
    ComPtr<ID2D1Factory> d2d_;
    ComPtr<IWICBitmap> bitmap_;
    ComPtr<ID2D1RenderTarget> target_;
    float scale_ = 1;
    std::vector<uint32_t> pixels_;  // BGRA, filled on the first read after a render
    UINT width_ = 0;
    UINT height_ = 0;
};

// Channel distance small enough to call two colours the same after antialiasing.
bool closeTo(uint32_t a, uint32_t b, int tolerance = 6);

}  // namespace tov::panel::test
