#include "video/video_device_win.h"

#include <d3d10.h>
#include <dxgi1_5.h>
#include <mfapi.h>

#include "core/log.h"

namespace tov {
namespace {

unsigned long hex(HRESULT hr) {
    return static_cast<unsigned long>(static_cast<uint32_t>(hr));
}

HRESULT createDevice(UINT flags, VideoDevice& out) {
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0,
                                        D3D_FEATURE_LEVEL_10_1};
    return D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, flags, levels,
                             static_cast<UINT>(std::size(levels)), D3D11_SDK_VERSION, &out.device,
                             nullptr, &out.context);
}

}  // namespace

bool createVideoDevice(HWND window, VideoDevice& out, std::wstring& errorText) {
    out = {};
    HRESULT hr =
        createDevice(D3D11_CREATE_DEVICE_BGRA_SUPPORT | D3D11_CREATE_DEVICE_VIDEO_SUPPORT, out);
    if (FAILED(hr)) {
        // Drivers without video support still draw: the shader path converts the pictures.
        logLine("render: no device with video support (0x%08lx), trying without", hex(hr));
        hr = createDevice(D3D11_CREATE_DEVICE_BGRA_SUPPORT, out);
    }
    if (FAILED(hr)) {
        logLine("render: D3D11CreateDevice failed 0x%08lx", hex(hr));
        errorText = L"Direct3D 11 with video support is not available on this PC.";
        return false;
    }

    // The decoder's own threads and the renderer share the device.
    ComPtr<ID3D10Multithread> multithread;
    if (SUCCEEDED(out.device.As(&multithread))) multithread->SetMultithreadProtected(TRUE);

    if (SUCCEEDED(out.device.As(&out.videoDevice)) &&
        SUCCEEDED(out.context.As(&out.videoContext))) {
        hr = MFCreateDXGIDeviceManager(&out.resetToken, &out.deviceManager);
        if (SUCCEEDED(hr)) hr = out.deviceManager->ResetDevice(out.device.Get(), out.resetToken);
        if (FAILED(hr)) {
            logLine("render: DXGI device manager failed 0x%08lx, decoding on the CPU", hex(hr));
            out.deviceManager.Reset();
        }
    } else {
        out.videoDevice.Reset();
        out.videoContext.Reset();
        logLine("render: no Direct3D 11 video device, pictures are converted with a pixel shader");
    }

    ComPtr<IDXGIDevice1> dxgiDevice;
    ComPtr<IDXGIAdapter> adapter;
    ComPtr<IDXGIFactory2> factory;
    hr = out.device.As(&dxgiDevice);
    if (SUCCEEDED(hr)) {
        dxgiDevice->SetMaximumFrameLatency(1);
        hr = dxgiDevice->GetAdapter(&adapter);
    }
    if (SUCCEEDED(hr)) hr = adapter->GetParent(IID_PPV_ARGS(&factory));
    if (FAILED(hr)) {
        logLine("render: no DXGI factory 0x%08lx", hex(hr));
        errorText = L"Could not create the video swap chain.";
        return false;
    }
    ComPtr<IDXGIFactory5> factory5;
    if (SUCCEEDED(factory.As(&factory5))) {
        BOOL allow = FALSE;
        out.tearing = SUCCEEDED(factory5->CheckFeatureSupport(DXGI_FEATURE_PRESENT_ALLOW_TEARING,
                                                              &allow, sizeof allow)) &&
                      allow;
    }

    DXGI_SWAP_CHAIN_DESC1 desc{};
    desc.Width = 0;
    desc.Height = 0;
    desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    desc.Stereo = FALSE;
    desc.SampleDesc.Count = 1;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
    desc.AlphaMode = DXGI_ALPHA_MODE_UNSPECIFIED;
    desc.Flags = out.tearing ? DXGI_SWAP_CHAIN_FLAG_ALLOW_TEARING : 0;
    hr = factory->CreateSwapChainForHwnd(out.device.Get(), window, &desc, nullptr, nullptr,
                                         &out.swapChain);
    if (FAILED(hr)) {
        logLine("render: CreateSwapChainForHwnd failed 0x%08lx", hex(hr));
        errorText = L"Could not create the video swap chain.";
        return false;
    }
    factory->MakeWindowAssociation(window, DXGI_MWA_NO_ALT_ENTER);
    return true;
}

}  // namespace tov
