// The fallback for drivers without Direct3D 11 video processing: the NV12 picture is held as a
// luma and a chroma texture and converted (with the stream's matrix and range, given as
// constants) and scaled by a pixel shader compiled at run time.
#pragma once

#include "platform/win/com_ptr.h"
#include "video/picture_converter_win.h"

namespace tov {

class ShaderConverter : public PictureConverter {
  public:
    // How pictures from memory reach the plane textures: written straight into textures mapped
    // for writing (one copy), at half size when the window shows them at half size or less
    // (kReduced) or always whole (kMapped); or handed to UpdateSubresource (which may copy them
    // twice more, as Wine's does). The benchmark compares them.
    enum class PlaneUpload { kReduced, kMapped, kUpdate };
    ShaderConverter(ID3D11Device* device, ID3D11DeviceContext* context,
                    PlaneUpload upload = PlaneUpload::kReduced);

    // Compiles the shaders; false (logged) when the compiler or the device refuses.
    bool init();

    const char* name() const override { return "pixel shader"; }
    bool ensureInput(uint32_t width, uint32_t height, int32_t fps, Size back) override;
    Size inputSize() const override;
    bool copyFromTexture(ID3D11Texture2D* texture, UINT subresource) override;
    bool copyFromMemory(const uint8_t* data, uint32_t pitch, size_t length) override;
    void releaseOutput() override {}
    void prepareOutput(ID3D11Texture2D*) override {}
    void setColour(const PictureColour& colour) override { toRgb_ = colour.toRgb; }
    bool readyToDraw() const override { return pixelShader_ && lumaView_ && chromaView_; }
    HRESULT draw(const Rect& source, const Rect& dest, Size back,
                 ID3D11RenderTargetView* renderTarget) override;

  private:
    bool makePlaneTextures(uint32_t width, uint32_t height);
    // 2 when the picture is drawn at half its size or less: the planes from memory are then kept
    // at half size, each texel the mean of four, so that the copy in, the upload and the draw
    // cost what the window shows (and the picture is filtered better than by sampling alone).
    uint32_t shrinkFor(Size back) const;
    bool writeHalvedPlanes(const uint8_t* data, uint32_t pitch);
    // Rows of `rowBytes` bytes, `pitch` apart, into a texture mapped for writing.
    bool writePlane(ID3D11Texture2D* texture, const uint8_t* data, uint32_t pitch,
                    uint32_t rowBytes, uint32_t rows);
    void warmUp();

    ComPtr<ID3D11Device> device_;
    ComPtr<ID3D11DeviceContext> context_;
    ComPtr<ID3D11VertexShader> vertexShader_;
    ComPtr<ID3D11PixelShader> pixelShader_;
    ComPtr<ID3D11SamplerState> sampler_;
    ComPtr<ID3D11Buffer> constants_;
    // Pictures from memory: one texture per plane.
    ComPtr<ID3D11Texture2D> lumaTexture_;
    ComPtr<ID3D11Texture2D> chromaTexture_;
    // Pictures from the GPU decoder: an NV12 copy read through one view per plane.
    ComPtr<ID3D11Texture2D> nv12Texture_;
    ComPtr<ID3D11ShaderResourceView> nv12Luma_;
    ComPtr<ID3D11ShaderResourceView> nv12Chroma_;
    // The views the next draw reads: whichever pair the last picture went into.
    ComPtr<ID3D11ShaderResourceView> lumaView_;
    ComPtr<ID3D11ShaderResourceView> chromaView_;
    ComPtr<ID3D11ShaderResourceView> planeLuma_;
    ComPtr<ID3D11ShaderResourceView> planeChroma_;
    PlaneUpload upload_;
    YuvToRgb toRgb_ = yuvToRgb({});
    bool warming_ = false;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    Size back_;
    uint32_t shrink_ = 1;      // of the plane textures against the picture
    uint32_t viewShrink_ = 1;  // of the textures the next draw reads
};

}  // namespace tov
