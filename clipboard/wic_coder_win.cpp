#include "clipboard/wic_coder_win.h"

#include <windows.h>
// After windows.h.
#include <objidl.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <climits>
#include <cstring>

#include "core/log.h"
#include "clipboard/clip_limits.h"
#include "platform/win/com_ptr.h"

namespace tov {
namespace {

ComPtr<IWICImagingFactory> makeFactory() {
    ComPtr<IWICImagingFactory> factory;
    const HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(&factory));
    if (FAILED(hr)) {
        logLine("clipboard: no imaging component (0x%08lx)", static_cast<unsigned long>(hr));
        return nullptr;
    }
    return factory;
}

std::optional<Bitmap> decodeWith(IWICImagingFactory* factory, std::string_view encoded) {
    ComPtr<IStream> stream;
    stream.Attach(SHCreateMemStream(reinterpret_cast<const BYTE*>(encoded.data()),
                                    static_cast<UINT>(encoded.size())));
    if (!stream) return std::nullopt;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, &decoder))) {
        return std::nullopt;
    }
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    if (FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height))) {
        return std::nullopt;
    }
    // A few bytes of PNG can claim an enormous picture; refuse it before allocating it.
    const uint64_t bytes = uint64_t{width} * height * 4;
    if (width == 0 || height == 0 || bytes > kMaxBitmapBytes) {
        logLine("clipboard: picture of %ux%u refused", width, height);
        return std::nullopt;
    }
    ComPtr<IWICBitmapSource> converted;
    ComPtr<IWICBitmap> bitmap;
    if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &converted)) ||
        FAILED(factory->CreateBitmapFromSource(converted.Get(), WICBitmapCacheOnLoad, &bitmap))) {
        return std::nullopt;
    }
    Bitmap out{width, height, std::string(static_cast<size_t>(bytes), '\0')};
    if (FAILED(bitmap->CopyPixels(nullptr, width * 4, static_cast<UINT>(bytes),
                                  reinterpret_cast<BYTE*>(out.pixels.data())))) {
        return std::nullopt;
    }
    return out;
}

std::string encodeWith(IWICImagingFactory* factory, const Bitmap& bitmap) {
    const uint64_t stride = uint64_t{bitmap.width} * 4;
    if (bitmap.width == 0 || bitmap.height == 0 || stride * bitmap.height != bitmap.pixels.size() ||
        bitmap.pixels.size() > UINT_MAX) {
        return {};
    }
    ComPtr<IWICBitmap> source;
    if (FAILED(factory->CreateBitmapFromMemory(
            bitmap.width, bitmap.height, GUID_WICPixelFormat32bppBGRA, static_cast<UINT>(stride),
            static_cast<UINT>(bitmap.pixels.size()),
            reinterpret_cast<BYTE*>(const_cast<char*>(bitmap.pixels.data())), &source))) {
        return {};
    }
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(bitmap.width, bitmap.height)) ||
        FAILED(frame->SetPixelFormat(&format)) ||
        FAILED(frame->WriteSource(source.Get(), nullptr)) || FAILED(frame->Commit()) ||
        FAILED(encoder->Commit())) {
        return {};
    }
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) ||
        FAILED(GetHGlobalFromStream(stream.Get(), &memory))) {
        return {};
    }
    const uint64_t size = stat.cbSize.QuadPart;
    if (size == 0 || size > GlobalSize(memory)) return {};
    const void* bytes = GlobalLock(memory);
    if (!bytes) return {};
    std::string png(static_cast<const char*>(bytes), static_cast<size_t>(size));
    GlobalUnlock(memory);
    return png;
}

}  // namespace

std::optional<Bitmap> WicPictureCoder::decode(std::string_view encoded) {
    if (encoded.empty() || encoded.size() > UINT_MAX) return std::nullopt;
    const auto factory = makeFactory();
    if (!factory) return std::nullopt;
    return decodeWith(factory.Get(), encoded);
}

std::string WicPictureCoder::encodePng(const Bitmap& bitmap) {
    const auto factory = makeFactory();
    if (!factory) return {};
    return encodeWith(factory.Get(), bitmap);
}

}  // namespace tov
