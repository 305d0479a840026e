// The first choice: the Direct3D 11 video processor converts and scales in one blit.
#pragma once

#include <optional>

#include "platform/win/com_ptr.h"
#include "video/picture_converter_win.h"

namespace tov {

class ProcessorConverter : public PictureConverter {
  public:
    ProcessorConverter(ID3D11Device* device, ID3D11DeviceContext* context,
                       ID3D11VideoDevice* videoDevice, ID3D11VideoContext* videoContext);

    const char* name() const override { return "video processor"; }
    bool ensureInput(uint32_t width, uint32_t height, int32_t fps, Size back) override;
    Size inputSize() const override;
    bool copyFromTexture(ID3D11Texture2D* texture, UINT subresource) override;
    bool copyFromMemory(const uint8_t* data, uint32_t pitch, size_t length) override;
    void releaseOutput() override;
    void prepareOutput(ID3D11Texture2D* backBuffer) override;
    // The processor converts by colour space (the samples').
    void setColour(const PictureColour& colour) override { colour_ = colour.samples; }
    bool readyToDraw() const override { return vp_ && inputView_ && outputView_; }
    HRESULT draw(const Rect& source, const Rect& dest, Size back,
                 ID3D11RenderTargetView* renderTarget) override;

  private:
    void releaseInput();
    void applyColour();

    ComPtr<ID3D11Device> device_;
    ComPtr<ID3D11DeviceContext> context_;
    ComPtr<ID3D11VideoDevice> videoDevice_;
    ComPtr<ID3D11VideoContext> videoContext_;
    ComPtr<ID3D11VideoProcessorEnumerator> enumerator_;
    ComPtr<ID3D11VideoProcessor> vp_;
    ComPtr<ID3D11VideoProcessorInputView> inputView_;
    ComPtr<ID3D11VideoProcessorOutputView> outputView_;
    ComPtr<ID3D11Texture2D> nv12Texture_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    ColourSpace colour_;
    std::optional<ColourSpace> applied_;  // what the processor was last told
};

}  // namespace tov
