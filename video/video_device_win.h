// The Direct3D 11 device that the decoder and the renderer share, and the window's swap chain.
#pragma once

#include <d3d11.h>
#include <dxgi1_2.h>
#include <mfobjects.h>
#include <windows.h>

#include <string>

#include "platform/win/com_ptr.h"

namespace tov {

struct VideoDevice {
    ComPtr<ID3D11Device> device;
    ComPtr<ID3D11DeviceContext> context;
    // Empty when the driver has no video processing (virtual machines, remote sessions, Wine):
    // pictures are then converted with a pixel shader and decoded on the CPU.
    ComPtr<ID3D11VideoDevice> videoDevice;
    ComPtr<ID3D11VideoContext> videoContext;
    // Handed to the decoder; empty without a video device.
    ComPtr<IMFDXGIDeviceManager> deviceManager;
    UINT resetToken = 0;
    ComPtr<IDXGISwapChain1> swapChain;
    bool tearing = false;
};

// Creates the device and the window's flip swap chain. On failure returns false with the text for
// the user.
bool createVideoDevice(HWND window, VideoDevice& out, std::wstring& errorText);

}  // namespace tov
