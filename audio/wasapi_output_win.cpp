#include "audio/wasapi_output_win.h"

#include <audioclient.h>
#include <avrt.h>
#include <mmdeviceapi.h>

#include "core/log.h"
#include "platform/win/com_ptr.h"

namespace tov {

namespace {

constexpr DWORD kStreamFlags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK |
                               AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM |
                               AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;
static_assert(kStreamFlags == 0x88040000);
constexpr REFERENCE_TIME kBufferDuration = 200000;  // 20 ms in 100-ns units

class WasapiEndpoint : public AudioEndpoint {
  public:
    WasapiEndpoint(ComPtr<IMMDeviceEnumerator> enumerator, ComPtr<IMMDevice> device,
                   ComPtr<IAudioClient> client, ComPtr<IAudioRenderClient> render, HANDLE event,
                   UINT32 bufferFrames)
        : enumerator_(std::move(enumerator)),
          device_(std::move(device)),
          client_(std::move(client)),
          render_(std::move(render)),
          event_(event),
          bufferFrames_(bufferFrames) {}

    ~WasapiEndpoint() override {
        client_->Stop();
        render_.Reset();
        client_.Reset();
        device_.Reset();
        enumerator_.Reset();
    }

    uint32_t bufferFrames() const override { return bufferFrames_; }

    void waitForEvent(uint32_t timeoutMs) override { WaitForSingleObject(event_, timeoutMs); }

    std::optional<uint32_t> padding() override {
        UINT32 frames = 0;
        const HRESULT hr = client_->GetCurrentPadding(&frames);
        if (FAILED(hr)) {
            logLine("audio: output device lost (0x%08lx)", static_cast<unsigned long>(hr));
            return std::nullopt;
        }
        return frames;
    }

    int16_t* getBuffer(uint32_t frames) override {
        BYTE* data = nullptr;
        const HRESULT hr = render_->GetBuffer(frames, &data);
        if (FAILED(hr)) {
            logLine("audio: GetBuffer failed (0x%08lx)", static_cast<unsigned long>(hr));
            return nullptr;
        }
        return reinterpret_cast<int16_t*>(data);
    }

    void releaseBuffer(uint32_t frames) override { render_->ReleaseBuffer(frames, 0); }

  private:
    ComPtr<IMMDeviceEnumerator> enumerator_;
    ComPtr<IMMDevice> device_;
    ComPtr<IAudioClient> client_;
    ComPtr<IAudioRenderClient> render_;
    HANDLE event_;
    UINT32 bufferFrames_;
};

}  // namespace

WasapiOutput::WasapiOutput() {
    comReady_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    mmcss_ = AvSetMmThreadCharacteristicsW(L"Pro Audio", &mmcssTask_);
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

WasapiOutput::~WasapiOutput() {
    if (event_ != nullptr) CloseHandle(event_);
    if (mmcss_ != nullptr) AvRevertMmThreadCharacteristics(mmcss_);
    if (comReady_) CoUninitialize();
}

std::unique_ptr<AudioEndpoint> WasapiOutput::open(const AudioFormat& format) {
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDevice> device;
    ComPtr<IAudioClient> client;
    ComPtr<IAudioRenderClient> render;
    UINT32 bufferFrames = 0;
    const char* step = "CreateEvent";
    HRESULT hr = event_ != nullptr ? S_OK : HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);
    const auto attempt = [&](const char* name, HRESULT result) {
        if (FAILED(hr)) return;
        step = name;
        hr = result;
    };
    attempt("CoCreateInstance", CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                                 IID_PPV_ARGS(&enumerator)));
    if (SUCCEEDED(hr)) {
        attempt("GetDefaultAudioEndpoint",
                enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device));
    }
    if (SUCCEEDED(hr)) {
        attempt("Activate", device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                             reinterpret_cast<void**>(client.GetAddressOf())));
    }
    if (SUCCEEDED(hr)) {
        WAVEFORMATEX wave = {};
        wave.wFormatTag = WAVE_FORMAT_PCM;
        wave.nChannels = static_cast<WORD>(format.channels);
        wave.nSamplesPerSec = static_cast<DWORD>(format.sampleRate);
        wave.wBitsPerSample = 16;
        wave.nBlockAlign = static_cast<WORD>(format.channels * 2);
        wave.nAvgBytesPerSec = wave.nBlockAlign * wave.nSamplesPerSec;
        attempt("Initialize", client->Initialize(AUDCLNT_SHAREMODE_SHARED, kStreamFlags,
                                                 kBufferDuration, 0, &wave, nullptr));
    }
    if (SUCCEEDED(hr)) attempt("SetEventHandle", client->SetEventHandle(event_));
    if (SUCCEEDED(hr)) attempt("GetBufferSize", client->GetBufferSize(&bufferFrames));
    if (SUCCEEDED(hr)) attempt("GetService", client->GetService(IID_PPV_ARGS(&render)));
    if (SUCCEEDED(hr)) attempt("Start", client->Start());
    if (FAILED(hr)) {
        if (hr != lastOpenError_) {
            logLine("audio: no output device, %s failed (0x%08lx)", step,
                    static_cast<unsigned long>(hr));
        }
        lastOpenError_ = hr;
        return nullptr;
    }
    lastOpenError_ = S_OK;
    return std::make_unique<WasapiEndpoint>(std::move(enumerator), std::move(device),
                                            std::move(client), std::move(render), event_,
                                            bufferFrames);
}

}  // namespace tov
