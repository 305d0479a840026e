#include "panel/tests/bitmap_canvas_win.h"

#include <cstdlib>

namespace tov::panel::test {

bool BitmapCanvas::create(int width, int height, float dpi) {
    scale_ = dpi / 96.0f;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&wic_))))
        return false;
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, d2d_.GetAddressOf())))
        return false;
    UINT w = static_cast<UINT>(width * scale_), h = static_cast<UINT>(height * scale_);
    if (FAILED(wic_->CreateBitmap(w, h, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad,
                                  &bitmap_)))
        return false;
    D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT,
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpi, dpi);
    return SUCCEEDED(d2d_->CreateWicBitmapRenderTarget(bitmap_.Get(), props, &target_));
}

bool BitmapCanvas::render(D2DPainter& painter, const DrawList& list) {
    pixels_.clear();
    target_->BeginDraw();
    target_->Clear(D2D1::ColorF(0, 0, 0, 1));
    painter.paint(target_.Get(), list);
    return SUCCEEDED(target_->EndDraw());
}

uint32_t BitmapCanvas::pixel(float x, float y) {
    if (pixels_.empty()) {
        // Read the whole picture once per render; single-pixel locks are slow under Wine.
        bitmap_->GetSize(&width_, &height_);
        pixels_.resize(static_cast<size_t>(width_) * height_);
        if (FAILED(bitmap_->CopyPixels(nullptr, width_ * 4, static_cast<UINT>(pixels_.size() * 4),
                                       reinterpret_cast<BYTE*>(pixels_.data()))))
            return 0xFFFFFFFFu;
    }
    UINT px = static_cast<UINT>(x * scale_), py = static_cast<UINT>(y * scale_);
    if (px >= width_ || py >= height_) return 0xFFFFFFFFu;
    return pixels_[static_cast<size_t>(py) * width_ + px] & 0xFFFFFFu;
}

bool BitmapCanvas::savePng(const std::wstring& path) {
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (FAILED(wic_->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
        FAILED(wic_->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)))
        return false;
    UINT w = 0, h = 0;
    bitmap_->GetSize(&w, &h);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(frame->SetSize(w, h)) || FAILED(frame->SetPixelFormat(&format))) return false;
    if (FAILED(frame->WriteSource(bitmap_.Get(), nullptr))) return false;
    return SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

bool closeTo(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

}  // namespace tov::panel::test
