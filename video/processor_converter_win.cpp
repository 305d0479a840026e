#include "video/processor_converter_win.h"

#include <d3d11_1.h>

#include "core/log.h"

namespace tov {
namespace {

unsigned long hex(HRESULT hr) {
    return static_cast<unsigned long>(static_cast<uint32_t>(hr));
}

RECT toRect(const Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

ProcessorConverter::ProcessorConverter(ID3D11Device* device, ID3D11DeviceContext* context,
                                       ID3D11VideoDevice* videoDevice,
                                       ID3D11VideoContext* videoContext)
    : device_(device), context_(context), videoDevice_(videoDevice), videoContext_(videoContext) {}

Size ProcessorConverter::inputSize() const {
    return {static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
}

void ProcessorConverter::releaseInput() {
    inputView_.Reset();
    outputView_.Reset();
    vp_.Reset();
    enumerator_.Reset();
    nv12Texture_.Reset();
    width_ = height_ = 0;
}

bool ProcessorConverter::ensureInput(uint32_t width, uint32_t height, int32_t fps, Size back) {
    if (vp_ && nv12Texture_ && width == width_ && height == height_) return true;
    releaseInput();

    D3D11_TEXTURE2D_DESC td{};
    td.Width = width;
    td.Height = height;
    td.MipLevels = 1;
    td.ArraySize = 1;
    td.Format = DXGI_FORMAT_NV12;
    td.SampleDesc.Count = 1;
    td.Usage = D3D11_USAGE_DEFAULT;
    HRESULT hr = device_->CreateTexture2D(&td, nullptr, &nv12Texture_);
    if (FAILED(hr)) {
        logLine("render: NV12 texture %ux%u failed 0x%08lx", static_cast<unsigned>(width),
                static_cast<unsigned>(height), hex(hr));
        return false;
    }

    const UINT rate = static_cast<UINT>(fps > 0 ? fps : 60);
    D3D11_VIDEO_PROCESSOR_CONTENT_DESC cd{};
    cd.InputFrameFormat = D3D11_VIDEO_FRAME_FORMAT_PROGRESSIVE;
    cd.InputFrameRate = {rate, 1};
    cd.InputWidth = width;
    cd.InputHeight = height;
    cd.OutputFrameRate = {rate, 1};
    cd.OutputWidth = back.width > 0 ? static_cast<UINT>(back.width) : width;
    cd.OutputHeight = back.height > 0 ? static_cast<UINT>(back.height) : height;
    cd.Usage = D3D11_VIDEO_USAGE_OPTIMAL_SPEED;
    hr = videoDevice_->CreateVideoProcessorEnumerator(&cd, &enumerator_);
    if (SUCCEEDED(hr)) hr = videoDevice_->CreateVideoProcessor(enumerator_.Get(), 0, &vp_);
    if (FAILED(hr)) {
        logLine("render: video processor for %ux%u failed 0x%08lx", static_cast<unsigned>(width),
                static_cast<unsigned>(height), hex(hr));
        releaseInput();
        return false;
    }

    D3D11_VIDEO_PROCESSOR_INPUT_VIEW_DESC iv{};
    iv.FourCC = 0;
    iv.ViewDimension = D3D11_VPIV_DIMENSION_TEXTURE2D;
    iv.Texture2D.MipSlice = 0;
    iv.Texture2D.ArraySlice = 0;
    hr = videoDevice_->CreateVideoProcessorInputView(nv12Texture_.Get(), enumerator_.Get(), &iv,
                                                     &inputView_);
    if (FAILED(hr)) {
        logLine("render: input view failed 0x%08lx", hex(hr));
        releaseInput();
        return false;
    }

    logLine("render: processor ready for %ux%u frames", static_cast<unsigned>(width),
            static_cast<unsigned>(height));
    applied_.reset();  // a new processor is told the colours at its first draw
    videoContext_->VideoProcessorSetStreamFrameFormat(vp_.Get(), 0,
                                                      D3D11_VIDEO_FRAME_FORMAT_PROGRESSIVE);
    videoContext_->VideoProcessorSetStreamAutoProcessingMode(vp_.Get(), 0, FALSE);
    D3D11_VIDEO_COLOR black{};
    black.RGBA = {0.0f, 0.0f, 0.0f, 1.0f};
    videoContext_->VideoProcessorSetOutputBackgroundColor(vp_.Get(), FALSE, &black);
    width_ = width;
    height_ = height;
    return true;
}

bool ProcessorConverter::copyFromTexture(ID3D11Texture2D* texture, UINT subresource) {
    if (!nv12Texture_) return false;
    context_->CopySubresourceRegion(nv12Texture_.Get(), 0, 0, 0, 0, texture, subresource, nullptr);
    return true;
}

bool ProcessorConverter::copyFromMemory(const uint8_t* data, uint32_t pitch, size_t length) {
    if (!nv12Texture_ || pitch < width_ || length < nv12Length(pitch, height_)) return false;
    context_->UpdateSubresource(nv12Texture_.Get(), 0, nullptr, data, pitch, 0);
    return true;
}

void ProcessorConverter::releaseOutput() {
    outputView_.Reset();
}

void ProcessorConverter::prepareOutput(ID3D11Texture2D* backBuffer) {
    if (outputView_ || !enumerator_) return;
    D3D11_VIDEO_PROCESSOR_OUTPUT_VIEW_DESC ov{};
    ov.ViewDimension = D3D11_VPOV_DIMENSION_TEXTURE2D;
    ov.Texture2D.MipSlice = 0;
    const HRESULT hr = videoDevice_->CreateVideoProcessorOutputView(backBuffer, enumerator_.Get(),
                                                                    &ov, &outputView_);
    if (FAILED(hr)) logLine("render: output view failed 0x%08lx", hex(hr));
}

void ProcessorConverter::applyColour() {
    if (applied_ == colour_) return;
    applied_ = colour_;
    ComPtr<ID3D11VideoContext1> context1;
    if (SUCCEEDED(videoContext_.As(&context1))) {
        DXGI_COLOR_SPACE_TYPE in = colour_.fullRange ? DXGI_COLOR_SPACE_YCBCR_FULL_G22_LEFT_P601
                                                     : DXGI_COLOR_SPACE_YCBCR_STUDIO_G22_LEFT_P601;
        if (colour_.matrix == ColourMatrix::Bt709) {
            in = colour_.fullRange ? DXGI_COLOR_SPACE_YCBCR_FULL_G22_LEFT_P709
                                   : DXGI_COLOR_SPACE_YCBCR_STUDIO_G22_LEFT_P709;
        } else if (colour_.matrix == ColourMatrix::Bt2020) {
            in = colour_.fullRange ? DXGI_COLOR_SPACE_YCBCR_FULL_G22_LEFT_P2020
                                   : DXGI_COLOR_SPACE_YCBCR_STUDIO_G22_LEFT_P2020;
        }
        context1->VideoProcessorSetStreamColorSpace1(vp_.Get(), 0, in);
        context1->VideoProcessorSetOutputColorSpace1(vp_.Get(),
                                                     DXGI_COLOR_SPACE_RGB_FULL_G22_NONE_P709);
        return;
    }
    // Before Windows 10's colour spaces: BT.601 or BT.709 only (BT.2020 as the nearer BT.709).
    D3D11_VIDEO_PROCESSOR_COLOR_SPACE in{};
    in.Usage = 0;      // playback
    in.RGB_Range = 0;  // full
    in.YCbCr_Matrix = colour_.matrix == ColourMatrix::Bt601 ? 0 : 1;
    in.Nominal_Range = colour_.fullRange ? D3D11_VIDEO_PROCESSOR_NOMINAL_RANGE_0_255
                                         : D3D11_VIDEO_PROCESSOR_NOMINAL_RANGE_16_235;
    videoContext_->VideoProcessorSetStreamColorSpace(vp_.Get(), 0, &in);
    D3D11_VIDEO_PROCESSOR_COLOR_SPACE out{};
    out.RGB_Range = 0;  // 0-255
    videoContext_->VideoProcessorSetOutputColorSpace(vp_.Get(), &out);
}

HRESULT ProcessorConverter::draw(const Rect& source, const Rect& dest, Size back,
                                 ID3D11RenderTargetView*) {
    applyColour();
    const RECT src = toRect(source);
    const RECT dst = toRect(dest);
    const RECT target = {0, 0, back.width, back.height};
    videoContext_->VideoProcessorSetStreamSourceRect(vp_.Get(), 0, TRUE, &src);
    videoContext_->VideoProcessorSetStreamDestRect(vp_.Get(), 0, TRUE, &dst);
    videoContext_->VideoProcessorSetOutputTargetRect(vp_.Get(), TRUE, &target);
    D3D11_VIDEO_PROCESSOR_STREAM stream{};
    stream.Enable = TRUE;
    stream.OutputIndex = 0;
    stream.InputFrameOrField = 0;
    stream.pInputSurface = inputView_.Get();
    return videoContext_->VideoProcessorBlt(vp_.Get(), outputView_.Get(), 0, 1, &stream);
}

}  // namespace tov
