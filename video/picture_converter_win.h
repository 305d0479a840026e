// Turns the held NV12 picture into the BGRA back buffer, scaled into a rectangle. Two ways: the
// Direct3D 11 video processor, and a pixel shader for drivers without one.
#pragma once

#include <d3d11.h>

#include <cstddef>
#include <cstdint>

#include "video/colour_space.h"
#include "video/fit_math.h"

namespace tov {

class PictureConverter {
  public:
    virtual ~PictureConverter() = default;

    virtual const char* name() const = 0;
    // Makes the input surface for pictures of this size (nothing to do when it exists). `back` is
    // the back buffer size, 0 x 0 before the first present.
    virtual bool ensureInput(uint32_t width, uint32_t height, int32_t fps, Size back) = 0;
    virtual Size inputSize() const = 0;
    // Copies a decoded picture in: a subresource of a GPU texture of the input size, or NV12
    // bytes in memory (luma rows, then the interleaved chroma rows, both `pitch` apart; `length`
    // bytes readable).
    virtual bool copyFromTexture(ID3D11Texture2D* texture, UINT subresource) = 0;
    virtual bool copyFromMemory(const uint8_t* data, uint32_t pitch, size_t length) = 0;

    // Back buffer views: released before a resize, made again for the new back buffer.
    virtual void releaseOutput() = 0;
    virtual void prepareOutput(ID3D11Texture2D* backBuffer) = 0;
    // The YCbCr-to-RGB conversion the next draws use.
    virtual void setColour(const PictureColour& colour) = 0;
    // True when a picture can be drawn now.
    virtual bool readyToDraw() const = 0;
    // Draws `source` of the input into `dest`, black elsewhere.
    virtual HRESULT draw(const Rect& source, const Rect& dest, Size back,
                         ID3D11RenderTargetView* renderTarget) = 0;
};

// Bytes an NV12 picture of this height needs at this pitch.
inline size_t nv12Length(uint32_t pitch, uint32_t height) {
    return static_cast<size_t>(pitch) * (height + (height + 1) / 2);
}

}  // namespace tov
