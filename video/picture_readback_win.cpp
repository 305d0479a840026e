#include "video/picture_readback_win.h"

#include <cstring>

#include "core/log.h"
#include "platform/win/com_ptr.h"

namespace tov {

std::optional<Bitmap> readBgraTexture(ID3D11Device* device, ID3D11DeviceContext* context,
                                      ID3D11Texture2D* texture) {
    D3D11_TEXTURE2D_DESC desc{};
    texture->GetDesc(&desc);
    if (desc.Format != DXGI_FORMAT_B8G8R8A8_UNORM || desc.Width == 0 || desc.Height == 0) {
        return std::nullopt;
    }
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ComPtr<ID3D11Texture2D> staging;
    HRESULT hr = device->CreateTexture2D(&desc, nullptr, &staging);
    if (FAILED(hr)) {
        logLine("render: staging texture failed 0x%08lx", static_cast<unsigned long>(hr));
        return std::nullopt;
    }
    context->CopyResource(staging.Get(), texture);
    D3D11_MAPPED_SUBRESOURCE mapped{};
    hr = context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped);
    if (FAILED(hr)) {
        logLine("render: reading the picture back failed 0x%08lx", static_cast<unsigned long>(hr));
        return std::nullopt;
    }
    Bitmap out;
    out.width = desc.Width;
    out.height = desc.Height;
    const size_t rowBytes = size_t{desc.Width} * 4;
    out.pixels.resize(rowBytes * desc.Height);
    const auto* source = static_cast<const uint8_t*>(mapped.pData);
    for (UINT y = 0; y < desc.Height; ++y) {
        std::memcpy(&out.pixels[y * rowBytes], source + size_t{y} * mapped.RowPitch, rowBytes);
    }
    context->Unmap(staging.Get(), 0);
    // What the converters leave in alpha is not meant to be seen: a PNG must be opaque.
    for (size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = static_cast<char>(0xFF);
    return out;
}

}  // namespace tov
