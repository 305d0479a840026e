#include "video/shader_converter_win.h"

#include <d3dcompiler.h>

#include <algorithm>
#include <cstring>

#include "core/log.h"

namespace tov {
namespace {

unsigned long hex(HRESULT hr) {
    return static_cast<unsigned long>(static_cast<uint32_t>(hr));
}

// One triangle covers the viewport; the viewport is the picture's rectangle in the back buffer.
const char kShaderSource[] = R"(
cbuffer Source : register(b0) {
    float2 extent;     // the picture's part of the texture, in texture coordinates
    float2 lumaMax;    // last luma texel centre inside it
    float2 chromaMax;  // last chroma texel centre inside it
    float2 unused;
    float4 toR;        // RGB from (Y, Cb, Cr, 1): the stream's matrix and range
    float4 toG;
    float4 toB;
};
struct VsOut { float4 pos : SV_Position; float2 uv : TEXCOORD0; };
VsOut vs(uint id : SV_VertexID) {
    VsOut o;
    float2 t = float2((id << 1) & 2, id & 2);
    o.pos = float4(t * float2(2.0, -2.0) + float2(-1.0, 1.0), 0.0, 1.0);
    o.uv = t * extent;
    return o;
}
Texture2D<float> luma : register(t0);
Texture2D<float2> chroma : register(t1);
SamplerState linearClamp : register(s0);
float4 ps(VsOut i) : SV_Target {
    // Clamped to the picture, so that filtering never mixes in the decoder's alignment rows.
    float4 ycc = float4(luma.Sample(linearClamp, min(i.uv, lumaMax)),
                        chroma.Sample(linearClamp, min(i.uv, chromaMax)), 1.0);
    return float4(saturate(float3(dot(toR, ycc), dot(toG, ycc), dot(toB, ycc))), 1.0);
}
)";

using CompileFn = decltype(&D3DCompile);

// Loaded when first needed, so that the program starts even where the compiler is missing.
CompileFn compiler() {
    static const CompileFn fn = [] {
        HMODULE module = LoadLibraryW(L"d3dcompiler_47.dll");
        return module ? reinterpret_cast<CompileFn>(
                            reinterpret_cast<void*>(GetProcAddress(module, "D3DCompile")))
                      : nullptr;
    }();
    return fn;
}

HRESULT compile(const char* entry, const char* target, ComPtr<ID3DBlob>& code) {
    const CompileFn fn = compiler();
    if (!fn) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    ComPtr<ID3DBlob> errors;
    const HRESULT hr = fn(kShaderSource, sizeof kShaderSource - 1, "nv12", nullptr, nullptr, entry,
                          target, D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &code, &errors);
    if (FAILED(hr) && errors) {
        logLine("render: shader %s: %.*s", entry, static_cast<int>(errors->GetBufferSize()),
                static_cast<const char*>(errors->GetBufferPointer()));
    }
    return hr;
}

HRESULT makeTexture(ID3D11Device* device, uint32_t width, uint32_t height, DXGI_FORMAT format,
                    ComPtr<ID3D11Texture2D>& texture, bool writable = false) {
    D3D11_TEXTURE2D_DESC td{};
    td.Width = width;
    td.Height = height;
    td.MipLevels = 1;
    td.ArraySize = 1;
    td.Format = format;
    td.SampleDesc.Count = 1;
    td.Usage = writable ? D3D11_USAGE_DYNAMIC : D3D11_USAGE_DEFAULT;
    td.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    td.CPUAccessFlags = writable ? D3D11_CPU_ACCESS_WRITE : 0;
    return device->CreateTexture2D(&td, nullptr, texture.ReleaseAndGetAddressOf());
}

HRESULT makeView(ID3D11Device* device, ID3D11Texture2D* texture, DXGI_FORMAT format,
                 ComPtr<ID3D11ShaderResourceView>& view) {
    D3D11_SHADER_RESOURCE_VIEW_DESC vd{};
    vd.Format = format;
    vd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    vd.Texture2D.MipLevels = 1;
    return device->CreateShaderResourceView(texture, &vd, view.ReleaseAndGetAddressOf());
}

}  // namespace

ShaderConverter::ShaderConverter(ID3D11Device* device, ID3D11DeviceContext* context,
                                 PlaneUpload upload)
    : device_(device), context_(context), upload_(upload) {}

bool ShaderConverter::init() {
    ComPtr<ID3DBlob> vsCode;
    ComPtr<ID3DBlob> psCode;
    HRESULT hr = compile("vs", "vs_4_0", vsCode);
    if (SUCCEEDED(hr)) hr = compile("ps", "ps_4_0", psCode);
    if (SUCCEEDED(hr)) {
        hr = device_->CreateVertexShader(vsCode->GetBufferPointer(), vsCode->GetBufferSize(),
                                         nullptr, &vertexShader_);
    }
    if (SUCCEEDED(hr)) {
        hr = device_->CreatePixelShader(psCode->GetBufferPointer(), psCode->GetBufferSize(),
                                        nullptr, &pixelShader_);
    }
    if (SUCCEEDED(hr)) {
        D3D11_SAMPLER_DESC sd{};
        sd.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
        sd.AddressU = sd.AddressV = sd.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
        sd.MaxLOD = D3D11_FLOAT32_MAX;
        hr = device_->CreateSamplerState(&sd, &sampler_);
    }
    if (SUCCEEDED(hr)) {
        D3D11_BUFFER_DESC bd{};
        bd.ByteWidth = sizeof(float) * 20;
        bd.Usage = D3D11_USAGE_DEFAULT;
        bd.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
        hr = device_->CreateBuffer(&bd, nullptr, &constants_);
    }
    if (FAILED(hr)) {
        logLine("render: pixel shader conversion unavailable 0x%08lx", hex(hr));
        pixelShader_.Reset();
        return false;
    }
    warmUp();
    return true;
}

void ShaderConverter::warmUp() {
    warming_ = true;
    // Some drivers (and Wine) translate shaders at their first draw, which takes long enough to
    // hold up the first pictures of a stream. One tiny draw here moves that to the start.
    ComPtr<ID3D11Texture2D> target;
    ComPtr<ID3D11RenderTargetView> view;
    D3D11_TEXTURE2D_DESC td{};
    td.Width = td.Height = 2;
    td.MipLevels = td.ArraySize = 1;
    td.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    td.SampleDesc.Count = 1;
    td.Usage = D3D11_USAGE_DEFAULT;
    td.BindFlags = D3D11_BIND_RENDER_TARGET;
    if (FAILED(device_->CreateTexture2D(&td, nullptr, &target)) ||
        FAILED(device_->CreateRenderTargetView(target.Get(), nullptr, &view)) ||
        !ensureInput(2, 2, 0, {})) {
        warming_ = false;
        return;
    }
    const uint8_t black[6] = {16, 16, 16, 16, 128, 128};
    copyFromMemory(black, 2, sizeof black);
    draw({0, 0, 2, 2}, {0, 0, 2, 2}, {2, 2}, view.Get());
    context_->Flush();
    warming_ = false;
    // The first real picture starts afresh.
    lumaView_.Reset();
    chromaView_.Reset();
    lumaTexture_.Reset();
    chromaTexture_.Reset();
    planeLuma_.Reset();
    planeChroma_.Reset();
    width_ = height_ = 0;
}

Size ShaderConverter::inputSize() const {
    return {static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
}

uint32_t ShaderConverter::shrinkFor(Size back) const {
    if (upload_ != PlaneUpload::kReduced || back.width <= 0 || back.height <= 0) return 1;
    const Size picture{static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
    const Rect dest = fitWithBars(picture, back);
    return dest.width() * 2 <= picture.width && dest.height() * 2 <= picture.height ? 2 : 1;
}

bool ShaderConverter::ensureInput(uint32_t width, uint32_t height, int32_t, Size back) {
    if (!pixelShader_) return false;
    back_ = back;
    if (width == width_ && height == height_ && lumaTexture_) return true;
    lumaView_.Reset();
    chromaView_.Reset();
    nv12Texture_.Reset();
    nv12Luma_.Reset();
    nv12Chroma_.Reset();
    width_ = height_ = 0;
    shrink_ = 1;
    if (!makePlaneTextures(width, height)) return false;
    width_ = width;
    height_ = height;
    if (!warming_) {
        logLine("render: shader conversion ready for %ux%u frames", static_cast<unsigned>(width),
                static_cast<unsigned>(height));
    }
    return true;
}

bool ShaderConverter::makePlaneTextures(uint32_t width, uint32_t height) {
    const bool mapped = upload_ != PlaneUpload::kUpdate;
    const uint32_t lumaWidth = (width + shrink_ - 1) / shrink_;
    const uint32_t lumaHeight = (height + shrink_ - 1) / shrink_;
    HRESULT hr = makeTexture(device_.Get(), lumaWidth, lumaHeight, DXGI_FORMAT_R8_UNORM,
                             lumaTexture_, mapped);
    if (SUCCEEDED(hr)) {
        hr = makeTexture(device_.Get(), (lumaWidth + 1) / 2, (lumaHeight + 1) / 2,
                         DXGI_FORMAT_R8G8_UNORM, chromaTexture_, mapped);
    }
    if (FAILED(hr) && mapped) {
        logLine("render: writable plane textures %ux%u failed 0x%08lx, copying through the device",
                static_cast<unsigned>(lumaWidth), static_cast<unsigned>(lumaHeight), hex(hr));
        upload_ = PlaneUpload::kUpdate;
        shrink_ = 1;
        return makePlaneTextures(width, height);
    }
    if (SUCCEEDED(hr))
        hr = makeView(device_.Get(), lumaTexture_.Get(), DXGI_FORMAT_R8_UNORM, planeLuma_);
    if (SUCCEEDED(hr)) {
        hr = makeView(device_.Get(), chromaTexture_.Get(), DXGI_FORMAT_R8G8_UNORM, planeChroma_);
    }
    if (FAILED(hr)) {
        logLine("render: plane textures %ux%u failed 0x%08lx", static_cast<unsigned>(width),
                static_cast<unsigned>(height), hex(hr));
        lumaTexture_.Reset();
        chromaTexture_.Reset();
        planeLuma_.Reset();
        planeChroma_.Reset();
        return false;
    }
    return true;
}

bool ShaderConverter::copyFromMemory(const uint8_t* data, uint32_t pitch, size_t length) {
    if (!lumaTexture_ || pitch < width_ || length < nv12Length(pitch, height_)) return false;
    const uint32_t shrink = shrinkFor(back_);
    if (shrink != shrink_) {
        // The window grew or shrank past half the picture: the planes take the new size before
        // this picture is written into them whole.
        shrink_ = shrink;
        lumaView_.Reset();
        chromaView_.Reset();
        if (!makePlaneTextures(width_, height_)) return false;
    }
    const uint8_t* chroma = data + static_cast<size_t>(pitch) * height_;
    if (shrink_ == 2) {
        if (!writeHalvedPlanes(data, pitch)) return false;
    } else if (upload_ != PlaneUpload::kUpdate) {
        const uint32_t chromaRowBytes = (width_ + 1) / 2 * 2;
        if (!writePlane(lumaTexture_.Get(), data, pitch, width_, height_) ||
            !writePlane(chromaTexture_.Get(), chroma, pitch, chromaRowBytes, (height_ + 1) / 2)) {
            return false;
        }
    } else {
        context_->UpdateSubresource(lumaTexture_.Get(), 0, nullptr, data, pitch, 0);
        context_->UpdateSubresource(chromaTexture_.Get(), 0, nullptr, chroma, pitch, 0);
    }
    viewShrink_ = shrink_;
    lumaView_ = planeLuma_;
    chromaView_ = planeChroma_;
    return true;
}

bool ShaderConverter::writePlane(ID3D11Texture2D* texture, const uint8_t* data, uint32_t pitch,
                                 uint32_t rowBytes, uint32_t rows) {
    D3D11_MAPPED_SUBRESOURCE mapped{};
    const HRESULT hr = context_->Map(texture, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped);
    if (FAILED(hr)) {
        logLine("render: plane texture map failed 0x%08lx", hex(hr));
        return false;
    }
    auto* out = static_cast<uint8_t*>(mapped.pData);
    if (mapped.RowPitch == pitch && pitch == rowBytes) {
        std::memcpy(out, data, static_cast<size_t>(pitch) * rows);
    } else {
        for (uint32_t y = 0; y < rows; ++y) {
            std::memcpy(out + static_cast<size_t>(y) * mapped.RowPitch,
                        data + static_cast<size_t>(y) * pitch, rowBytes);
        }
    }
    context_->Unmap(texture, 0);
    return true;
}

bool ShaderConverter::writeHalvedPlanes(const uint8_t* data, uint32_t pitch) {
    D3D11_MAPPED_SUBRESOURCE luma{};
    D3D11_MAPPED_SUBRESOURCE chroma{};
    HRESULT hr = context_->Map(lumaTexture_.Get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &luma);
    if (SUCCEEDED(hr)) {
        hr = context_->Map(chromaTexture_.Get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &chroma);
        if (FAILED(hr)) context_->Unmap(lumaTexture_.Get(), 0);
    }
    if (FAILED(hr)) {
        logLine("render: plane texture map failed 0x%08lx", hex(hr));
        return false;
    }
    // Each texel the rounded mean of a 2 x 2 block; an odd last row or column pairs with itself.
    const uint32_t lumaWidth = (width_ + 1) / 2;
    const uint32_t lumaHeight = (height_ + 1) / 2;
    const uint32_t wholeLuma = width_ / 2;
    for (uint32_t y = 0; y < lumaHeight; ++y) {
        const uint8_t* a = data + static_cast<size_t>(2 * y) * pitch;
        const uint8_t* b = data + static_cast<size_t>(std::min(2 * y + 1, height_ - 1)) * pitch;
        auto* out = static_cast<uint8_t*>(luma.pData) + static_cast<size_t>(y) * luma.RowPitch;
        for (uint32_t x = 0; x < wholeLuma; ++x) {
            out[x] =
                static_cast<uint8_t>((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
        }
        if (wholeLuma < lumaWidth) {
            const uint32_t l = width_ - 1;
            out[wholeLuma] = static_cast<uint8_t>((a[l] + b[l] + 1) >> 1);
        }
    }
    // The chroma plane: Cb, Cr pairs, half the picture's size each way.
    const uint8_t* chromaIn = data + static_cast<size_t>(pitch) * height_;
    const uint32_t inPairs = (width_ + 1) / 2;
    const uint32_t inRows = (height_ + 1) / 2;
    const uint32_t outPairs = (lumaWidth + 1) / 2;
    const uint32_t outRows = (lumaHeight + 1) / 2;
    const uint32_t wholePairs = inPairs / 2;
    for (uint32_t y = 0; y < outRows; ++y) {
        const uint8_t* a = chromaIn + static_cast<size_t>(2 * y) * pitch;
        const uint8_t* b = chromaIn + static_cast<size_t>(std::min(2 * y + 1, inRows - 1)) * pitch;
        auto* out = static_cast<uint8_t*>(chroma.pData) + static_cast<size_t>(y) * chroma.RowPitch;
        for (uint32_t x = 0; x < wholePairs; ++x) {
            const uint8_t* pa = a + 4 * x;
            const uint8_t* pb = b + 4 * x;
            out[2 * x] = static_cast<uint8_t>((pa[0] + pa[2] + pb[0] + pb[2] + 2) >> 2);
            out[2 * x + 1] = static_cast<uint8_t>((pa[1] + pa[3] + pb[1] + pb[3] + 2) >> 2);
        }
        if (wholePairs < outPairs) {
            const uint32_t l = 2 * (inPairs - 1);
            out[2 * wholePairs] = static_cast<uint8_t>((a[l] + b[l] + 1) >> 1);
            out[2 * wholePairs + 1] = static_cast<uint8_t>((a[l + 1] + b[l + 1] + 1) >> 1);
        }
    }
    context_->Unmap(chromaTexture_.Get(), 0);
    context_->Unmap(lumaTexture_.Get(), 0);
    return true;
}

bool ShaderConverter::copyFromTexture(ID3D11Texture2D* texture, UINT subresource) {
    if (!lumaTexture_) return false;
    if (!nv12Texture_) {
        // The decoder's own texture is not readable by shaders; a copy with plane views is.
        HRESULT hr = makeTexture(device_.Get(), width_, height_, DXGI_FORMAT_NV12, nv12Texture_);
        if (SUCCEEDED(hr)) {
            hr = makeView(device_.Get(), nv12Texture_.Get(), DXGI_FORMAT_R8_UNORM, nv12Luma_);
        }
        if (SUCCEEDED(hr)) {
            hr = makeView(device_.Get(), nv12Texture_.Get(), DXGI_FORMAT_R8G8_UNORM, nv12Chroma_);
        }
        if (FAILED(hr)) {
            logLine("render: shader NV12 texture %ux%u failed 0x%08lx",
                    static_cast<unsigned>(width_), static_cast<unsigned>(height_), hex(hr));
            nv12Texture_.Reset();
            nv12Luma_.Reset();
            nv12Chroma_.Reset();
            return false;
        }
    }
    context_->CopySubresourceRegion(nv12Texture_.Get(), 0, 0, 0, 0, texture, subresource, nullptr);
    viewShrink_ = 1;
    lumaView_ = nv12Luma_;
    chromaView_ = nv12Chroma_;
    return true;
}

HRESULT ShaderConverter::draw(const Rect& source, const Rect& dest, Size,
                              ID3D11RenderTargetView* renderTarget) {
    if (!renderTarget || !readyToDraw() || width_ == 0 || height_ == 0) return E_UNEXPECTED;
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    context_->ClearRenderTargetView(renderTarget, black);

    // In texels of the textures read: the planes may be kept at half the picture's size.
    const uint32_t shrink = viewShrink_;
    const uint32_t lumaWidth = (width_ + shrink - 1) / shrink;
    const uint32_t lumaHeight = (height_ + shrink - 1) / shrink;
    const float w = static_cast<float>(lumaWidth);
    const float h = static_cast<float>(lumaHeight);
    const float cw = static_cast<float>((lumaWidth + 1) / 2);
    const float ch = static_cast<float>((lumaHeight + 1) / 2);
    const float sw = static_cast<float>(source.width()) / static_cast<float>(shrink);
    const float sh = static_cast<float>(source.height()) / static_cast<float>(shrink);
    float constants[20] = {sw / w,
                           sh / h,
                           (sw - 0.5f) / w,
                           (sh - 0.5f) / h,
                           (sw / 2 - 0.5f) / cw,
                           (sh / 2 - 0.5f) / ch,
                           0.0f,
                           0.0f};
    std::memcpy(constants + 8, toRgb_.rows, sizeof toRgb_.rows);
    context_->UpdateSubresource(constants_.Get(), 0, nullptr, constants, 0, 0);

    D3D11_VIEWPORT viewport{};
    viewport.TopLeftX = static_cast<float>(dest.left);
    viewport.TopLeftY = static_cast<float>(dest.top);
    viewport.Width = static_cast<float>(dest.width());
    viewport.Height = static_cast<float>(dest.height());
    viewport.MaxDepth = 1.0f;
    context_->OMSetRenderTargets(1, &renderTarget, nullptr);
    context_->RSSetViewports(1, &viewport);
    context_->IASetInputLayout(nullptr);
    context_->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context_->VSSetShader(vertexShader_.Get(), nullptr, 0);
    context_->PSSetShader(pixelShader_.Get(), nullptr, 0);
    ID3D11ShaderResourceView* views[2] = {lumaView_.Get(), chromaView_.Get()};
    context_->PSSetShaderResources(0, 2, views);
    ID3D11SamplerState* sampler = sampler_.Get();
    context_->PSSetSamplers(0, 1, &sampler);
    ID3D11Buffer* buffer = constants_.Get();
    context_->VSSetConstantBuffers(0, 1, &buffer);
    context_->PSSetConstantBuffers(0, 1, &buffer);
    context_->Draw(3, 0);

    // Unbound, so that the next picture's copy into these textures is not a hazard.
    ID3D11ShaderResourceView* none[2] = {nullptr, nullptr};
    context_->PSSetShaderResources(0, 2, none);
    ID3D11RenderTargetView* noTarget = nullptr;
    context_->OMSetRenderTargets(1, &noTarget, nullptr);
    return S_OK;
}

}  // namespace tov
