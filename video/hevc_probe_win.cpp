#include "video/hevc_probe_win.h"

#include <mfapi.h>

#include "core/log.h"
#include "platform/win/com_ptr.h"
#include "platform/win/win_compat.h"
#include "video/mf_decoder_win.h"
#include "video/video_item.h"

namespace tov {
namespace {

bool gpuDecodesHevc(ID3D11VideoDevice* videoDevice) {
    if (!videoDevice) return false;
    const UINT count = videoDevice->GetVideoDecoderProfileCount();
    for (UINT i = 0; i < count; ++i) {
        GUID profile{};
        if (SUCCEEDED(videoDevice->GetVideoDecoderProfile(i, &profile)) &&
            profile == kD3D11DecoderProfileHevcVldMain) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool probeHevc(ID3D11VideoDevice* videoDevice) {
    ComPtr<IMFTransform> transform;
    const bool installed = SUCCEEDED(createDecoderTransform(kCodecHevc, transform)) && transform;
    transform.Reset();
    const bool gpu = gpuDecodesHevc(videoDevice);
    logLine("video: HEVC decoder %s, GPU HEVC %s", installed ? "installed" : "missing",
            gpu ? "yes" : "no");
    return installed && gpu;
}

}  // namespace tov
