// The present's cost for a phone-size picture from the CPU decoder (as under Wine): each present
// takes a 1080 x 2400 NV12 picture from memory into the plane textures and converts and scales it
// into the window's back buffer. The ways of getting the planes in, measured in the same run:
// UpdateSubresource, textures mapped for writing, and mapped at half size (the window is a third
// of the picture); and, as the cost's scale, the window at the picture's own size.
//   video_present_bench [PRESENTS]   presents per case (default 120)
// Ends with one `present key=value` line per case for scripts.
#include <mfapi.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "video/bench/bench_stats.h"
#include "video/bench/process_cpu_win.h"
#include "video/shader_converter_win.h"
#include "video/video_device_win.h"
#include "video/video_renderer_win.h"

namespace tov {
namespace {

using Clock = std::chrono::steady_clock;

using bench::processCpuMs;

LRESULT CALLBACK plainWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

// A picture as the CPU decoder hands it over: NV12 in a memory buffer, a moving gradient so that
// no two are alike.
ComPtr<IMFSample> picture(uint32_t width, uint32_t height, int seed) {
    const size_t size = static_cast<size_t>(width) * height * 3 / 2;
    ComPtr<IMFMediaBuffer> buffer;
    ComPtr<IMFSample> sample;
    BYTE* data = nullptr;
    if (FAILED(MFCreateMemoryBuffer(static_cast<DWORD>(size), &buffer)) ||
        FAILED(buffer->Lock(&data, nullptr, nullptr))) {
        return nullptr;
    }
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>((i / 7 + seed * 13) & 0xFF);
    buffer->Unlock();
    buffer->SetCurrentLength(static_cast<DWORD>(size));
    if (FAILED(MFCreateSample(&sample)) || FAILED(sample->AddBuffer(buffer.Get()))) return nullptr;
    return sample;
}

struct Case {
    const char* name;
    ShaderConverter::PlaneUpload upload;
    int clientWidth;
    int clientHeight;
};

struct Result {
    std::vector<double> presentMs;
    std::vector<double> uploadMs;
    std::vector<double> drawMs;
    double cpuMsPerPresent = 0;
    bool ok = false;
};

Result run(const Case& c, uint32_t width, uint32_t height, int presents) {
    Result r;
    RECT rect{0, 0, c.clientWidth, c.clientHeight};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExW(0, L"TovenmarPresentBench", L"present bench", WS_OVERLAPPEDWINDOW,
                                  0, 0, rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return r;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    VideoDevice device;
    std::wstring error;
    if (createVideoDevice(window, device, error)) {
        VideoRenderer renderer(device, nullptr);
        auto shader =
            std::make_unique<ShaderConverter>(device.device.Get(), device.context.Get(), c.upload);
        if (shader->init()) {
            renderer.useConverterForTest(std::move(shader));
            renderer.setStream(static_cast<int32_t>(width), static_cast<int32_t>(height), 60);
            // A few pictures taken in turn, as the decoder's reused output samples are.
            std::vector<ComPtr<IMFSample>> pictures;
            for (int i = 0; i < 3; ++i) pictures.push_back(picture(width, height, i));
            for (int i = 0; i < 5; ++i) {  // the textures and the shader's first draws
                renderer.holdPicture(pictures[i % 3].Get(), width, height,
                                     static_cast<int32_t>(width));
                renderer.present();
            }
            const double cpuStart = processCpuMs();
            for (int i = 0; i < presents; ++i) {
                renderer.holdPicture(pictures[i % 3].Get(), width, height,
                                     static_cast<int32_t>(width));
                const auto start = Clock::now();
                renderer.present();
                r.presentMs.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                r.uploadMs.push_back(renderer.lastUploadMicros() / 1000.0);
                r.drawMs.push_back(renderer.lastDrawMicros() / 1000.0);
            }
            // Whatever the device still has queued belongs to these presents.
            device.context->Flush();
            r.cpuMsPerPresent = (processCpuMs() - cpuStart) / presents;
            r.ok = renderer.hasPicture();
        }
    } else {
        std::printf("no device: %ls\n", error.c_str());
    }
    device = {};
    DestroyWindow(window);
    return r;
}

}  // namespace
}  // namespace tov

int main(int argc, char** argv) {
    using namespace tov;
    const int presents = argc > 1 ? std::max(10, std::atoi(argv[1])) : 120;
    MFStartup(MF_VERSION, MFSTARTUP_LITE);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = plainWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TovenmarPresentBench";
    RegisterClassExW(&wc);

    const uint32_t width = 1080;
    const uint32_t height = 2400;
    using Upload = ShaderConverter::PlaneUpload;
    const Case cases[] = {
        {"update-third", Upload::kUpdate, 360, 800},
        {"mapped-third", Upload::kMapped, 360, 800},
        {"reduced-third", Upload::kReduced, 360, 800},
        {"reduced-full", Upload::kReduced, 1080, 2400},
    };
    int failures = 0;
    for (const Case& c : cases) {
        const Result r = run(c, width, height, presents);
        if (!r.ok) ++failures;
        std::printf(
            "present case=%s window=%dx%d picture=%ux%u present_p50_ms=%.2f "
            "present_p95_ms=%.2f upload_p50_ms=%.2f draw_p50_ms=%.2f "
            "cpu_per_present_ms=%.2f ok=%d\n",
            c.name, c.clientWidth, c.clientHeight, width, height,
            bench::percentile(r.presentMs, 0.5), bench::percentile(r.presentMs, 0.95),
            bench::percentile(r.uploadMs, 0.5), bench::percentile(r.drawMs, 0.5), r.cpuMsPerPresent,
            r.ok ? 1 : 0);
        std::fflush(stdout);
    }
    MFShutdown();
    return failures == 0 ? 0 : 1;
}
