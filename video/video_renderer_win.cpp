#include "video/video_renderer_win.h"

#include <dwmapi.h>
#include <mfapi.h>

#include "core/log.h"
#include "platform/clock.h"
#include "video/picture_readback_win.h"
#include "video/processor_converter_win.h"
#include "video/shader_converter_win.h"
#include "video/thread_name_win.h"

namespace tov {
namespace {

unsigned long hex(HRESULT hr) {
    return static_cast<unsigned long>(static_cast<uint32_t>(hr));
}

}  // namespace

VideoRenderer::VideoRenderer(VideoDevice& device,
                             std::function<void(int32_t, int32_t)> requestShape)
    : device_(device), requestShape_(std::move(requestShape)) {
    shaderOnly_ = !device_.videoDevice || !device_.videoContext;
    // Made now rather than at the first picture: compiling takes a while.
    if (shaderOnly_) useShader();
}

VideoRenderer::~VideoRenderer() = default;

void VideoRenderer::presentThreadStarting() {
    nameThisThread(L"video present");
}

void VideoRenderer::setStream(int32_t width, int32_t height, int32_t fps) {
    streamWidth_.store(width);
    streamHeight_.store(height);
    fps_ = fps;
}

void VideoRenderer::setColour(const PictureColour& colour) {
    std::lock_guard lock(colourMutex_);
    colour_ = colour;
}

PictureColour VideoRenderer::colour() {
    std::lock_guard lock(colourMutex_);
    return colour_;
}

void VideoRenderer::configArrived(int32_t width, int32_t height) {
    if (reshape_.onConfig(width, height) && requestShape_) requestShape_(width, height);
}

bool VideoRenderer::useShader() {
    if (shaderBroken_) return false;
    auto shader = std::make_unique<ShaderConverter>(device_.device.Get(), device_.context.Get());
    if (!shader->init()) {
        converter_.reset();
        shaderBroken_ = true;  // tried once; the log says why
        return false;
    }
    converter_ = std::move(shader);
    shaderOnly_ = true;
    logLine("render: converting pictures with a pixel shader");
    return true;
}

bool VideoRenderer::ensureConverter(uint32_t width, uint32_t height) {
    // No back buffer size: the converter keeps the picture at its own size.
    const Size back =
        fullSizeCopy_ ? Size{}
                      : Size{static_cast<int32_t>(backWidth_), static_cast<int32_t>(backHeight_)};
    if (!converter_) {
        if (shaderOnly_) {
            if (!useShader()) return false;
        } else {
            converter_ = std::make_unique<ProcessorConverter>(
                device_.device.Get(), device_.context.Get(), device_.videoDevice.Get(),
                device_.videoContext.Get());
            logLine("render: converting pictures with the video processor");
        }
    }
    if (converter_->ensureInput(width, height, fps_, back)) return true;
    if (shaderOnly_) return false;
    // No processor for this picture: the shader path draws it the same way.
    return useShader() && converter_->ensureInput(width, height, fps_, back);
}

bool VideoRenderer::ensureInputFor(uint32_t width, uint32_t height) {
    const PictureConverter* before = converter_.get();
    const Size sizeBefore = before ? before->inputSize() : Size{};
    const bool ready = ensureConverter(width, height);
    // A new input surface holds no picture until one is copied into it: until then the window
    // shows black, never memory that was not written.
    if (!ready || converter_.get() != before || !(converter_->inputSize() == sizeBefore)) {
        hasPicture_ = false;
    }
    const Size now = ready ? converter_->inputSize() : Size{};
    inputWidth_.store(static_cast<uint32_t>(now.width));
    inputHeight_.store(static_cast<uint32_t>(now.height));
    return ready;
}

void VideoRenderer::copyPicture(IMFSample* sample, uint32_t outWidth, uint32_t outHeight,
                                int32_t outStride) {
    ComPtr<IMFMediaBuffer> buffer;
    if (!sample || FAILED(sample->GetBufferByIndex(0, &buffer))) return;

    ComPtr<IMFDXGIBuffer> gpuBuffer;
    if (SUCCEEDED(buffer.As(&gpuBuffer))) {
        ComPtr<ID3D11Texture2D> texture;
        UINT subresource = 0;
        if (FAILED(gpuBuffer->GetResource(IID_PPV_ARGS(&texture))) ||
            FAILED(gpuBuffer->GetSubresourceIndex(&subresource))) {
            return;
        }
        D3D11_TEXTURE2D_DESC desc{};
        texture->GetDesc(&desc);
        if (ensureInputFor(desc.Width, desc.Height) &&
            converter_->copyFromTexture(texture.Get(), subresource)) {
            hasPicture_ = true;
        }
        return;
    }

    if (!ensureInputFor(outWidth, outHeight)) return;
    bool copied = false;
    ComPtr<IMF2DBuffer> buffer2d;
    if (SUCCEEDED(buffer.As(&buffer2d))) {
        BYTE* scanLine0 = nullptr;
        LONG pitch = 0;
        DWORD length = 0;
        if (SUCCEEDED(buffer2d->GetContiguousLength(&length)) &&
            SUCCEEDED(buffer2d->Lock2D(&scanLine0, &pitch))) {
            // A bottom-up picture would be read backwards; NV12 never is.
            copied = pitch > 0 &&
                     converter_->copyFromMemory(scanLine0, static_cast<uint32_t>(pitch), length);
            buffer2d->Unlock2D();
        }
    } else {
        BYTE* data = nullptr;
        DWORD maxLength = 0;
        DWORD length = 0;
        if (SUCCEEDED(buffer->Lock(&data, &maxLength, &length))) {
            copied = outStride > 0 &&
                     converter_->copyFromMemory(data, static_cast<uint32_t>(outStride), length);
            buffer->Unlock();
        }
    }
    if (copied) hasPicture_ = true;
}

void VideoRenderer::holdPicture(IMFSample* sample, uint32_t outWidth, uint32_t outHeight,
                                int32_t outStride) {
    std::lock_guard lock(heldMutex_);
    held_.sample = sample;
    held_.width = outWidth;
    held_.height = outHeight;
    held_.stride = outStride;
}

void VideoRenderer::copyHeldPicture() {
    HeldPicture picture;
    {
        std::lock_guard lock(heldMutex_);
        picture = std::move(held_);
        held_ = {};
    }
    if (picture.black) {
        hasPicture_ = false;
        lastCopied_ = {};
    } else if (picture.sample) {
        copyPicture(picture.sample.Get(), picture.width, picture.height, picture.stride);
        lastCopied_ = std::move(picture);
    }
}

void VideoRenderer::dropPicture() {
    // Queued like a picture, so that one handed over after it is still shown: the reset and the
    // next stream's first picture may reach the present thread together.
    std::lock_guard lock(heldMutex_);
    held_ = {};
    held_.black = true;
}

void VideoRenderer::prepareBackBuffer() {
    IDXGISwapChain1* swapChain = device_.swapChain.Get();
    if (!swapChain) return;
    if (resizePending_.exchange(false) || backWidth_ == 0) {
        if (converter_) converter_->releaseOutput();
        renderTarget_.Reset();
        device_.context->ClearState();
        device_.context->Flush();
        const HRESULT hr = swapChain->ResizeBuffers(
            0, 0, 0, DXGI_FORMAT_UNKNOWN, device_.tearing ? DXGI_SWAP_CHAIN_FLAG_ALLOW_TEARING : 0);
        DXGI_SWAP_CHAIN_DESC1 desc{};
        if (SUCCEEDED(swapChain->GetDesc1(&desc))) {
            backWidth_ = desc.Width;
            backHeight_ = desc.Height;
        }
        logLine("%s: back buffer %ux%u (resize 0x%08lx)", tag_.c_str(), static_cast<unsigned>(backWidth_),
                static_cast<unsigned>(backHeight_), hex(hr));
    }
    ComPtr<ID3D11Texture2D> backBuffer;
    if (FAILED(swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer)))) return;
    if (!renderTarget_) {
        device_.device->CreateRenderTargetView(backBuffer.Get(), nullptr, &renderTarget_);
    }
    if (converter_) converter_->prepareOutput(backBuffer.Get());
}

void VideoRenderer::drawFrame() {
    prepareBackBuffer();
    const Size stream = streamSize();
    const Size back{static_cast<int32_t>(backWidth_), static_cast<int32_t>(backHeight_)};
    if (hasPicture_ && converter_ && converter_->readyToDraw() && stream.width > 0 &&
        stream.height > 0 && back.width > 0 && back.height > 0) {
        const Rect dest = fitWithBars(stream, back);
        converter_->setColour(colour());
        const Rect source = pictureSource(converter_->inputSize(), stream);
        const HRESULT hr = converter_->draw(source, dest, back, renderTarget_.Get());
        if (FAILED(hr)) {
            ++bltFailures_;
            lastBltResult_ = hr;
        }
    } else if (renderTarget_) {
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        device_.context->ClearRenderTargetView(renderTarget_.Get(), black);
    }
}

void VideoRenderer::present() {
    const int64_t uploadStart = nowMicros();
    copyHeldPicture();
    const int64_t drawStart = nowMicros();
    lastUploadMicros_.store(drawStart - uploadStart);
    drawFrame();
    lastDrawMicros_.store(nowMicros() - drawStart);
    if (device_.swapChain) {
        device_.swapChain->Present(0, device_.tearing ? DXGI_PRESENT_ALLOW_TEARING : 0);
    }
}

std::optional<Bitmap> VideoRenderer::readPicture() {
    if (lastCopied_.sample && hasPicture_) {
        // Copied in again at its own size: the window may show it from planes at half size.
        fullSizeCopy_ = true;
        copyPicture(lastCopied_.sample.Get(), lastCopied_.width, lastCopied_.height,
                    lastCopied_.stride);
        fullSizeCopy_ = false;
    }
    const Size stream = streamSize();
    if (!hasPicture_ || !converter_ || stream.width <= 0 || stream.height <= 0) {
        return std::nullopt;
    }
    // The held picture is drawn once more, whole and at its own size, into a texture of its own:
    // the back buffer has the window's size and bars.
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = static_cast<UINT>(stream.width);
    desc.Height = static_cast<UINT>(stream.height);
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_RENDER_TARGET;
    ComPtr<ID3D11Texture2D> target;
    ComPtr<ID3D11RenderTargetView> view;
    HRESULT hr = device_.device->CreateTexture2D(&desc, nullptr, &target);
    if (SUCCEEDED(hr)) hr = device_.device->CreateRenderTargetView(target.Get(), nullptr, &view);
    if (FAILED(hr)) {
        logLine("render: picture texture %dx%d failed 0x%08lx", stream.width, stream.height,
                hex(hr));
        return std::nullopt;
    }
    converter_->releaseOutput();
    converter_->prepareOutput(target.Get());
    hr = E_UNEXPECTED;
    converter_->setColour(colour());
    if (converter_->readyToDraw()) {
        hr = converter_->draw(pictureSource(converter_->inputSize(), stream),
                              {0, 0, stream.width, stream.height}, stream, view.Get());
    }
    // The next present makes the back buffer's view again.
    converter_->releaseOutput();
    if (FAILED(hr)) {
        logLine("render: drawing the picture for reading failed 0x%08lx", hex(hr));
        return std::nullopt;
    }
    return readBgraTexture(device_.device.Get(), device_.context.Get(), target.Get());
}

PresenterInfo VideoRenderer::info() const {
    PresenterInfo i;
    i.textureWidth = inputWidth_.load();
    i.textureHeight = inputHeight_.load();
    i.backWidth = backWidth_.load();
    i.backHeight = backHeight_.load();
    i.lastBltResult = static_cast<uint32_t>(lastBltResult_.load());
    return i;
}

int VideoRenderer::takeBltFailures() {
    return bltFailures_.exchange(0);
}

static_assert(sizeof(DWM_TIMING_INFO) == 292, "DwmGetCompositionTimingInfo wants 292 bytes");

double VideoRenderer::monitorRefreshHz() {
    DWM_TIMING_INFO timing{};
    timing.cbSize = sizeof timing;
    if (FAILED(DwmGetCompositionTimingInfo(nullptr, &timing)) ||
        timing.rateRefresh.uiDenominator == 0) {
        return 0.0;
    }
    return static_cast<double>(timing.rateRefresh.uiNumerator) / timing.rateRefresh.uiDenominator;
}

}  // namespace tov
