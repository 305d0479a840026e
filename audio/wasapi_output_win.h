// The default render device through WASAPI: shared mode, event-driven, 20 ms buffer, on a
// thread registered with MMCSS as "Pro Audio".
#pragma once

#include <windows.h>

#include "audio/audio_output.h"

namespace tov {

class WasapiOutput : public AudioOutput {
  public:
    // Joins the calling thread (the render thread) to COM and MMCSS and makes its event.
    WasapiOutput();
    ~WasapiOutput() override;
    WasapiOutput(const WasapiOutput&) = delete;
    WasapiOutput& operator=(const WasapiOutput&) = delete;

    std::unique_ptr<AudioEndpoint> open(const AudioFormat& format) override;

  private:
    bool comReady_ = false;
    HANDLE mmcss_ = nullptr;
    DWORD mmcssTask_ = 0;
    HANDLE event_ = nullptr;
    HRESULT lastOpenError_ = S_OK;  // logged once per outage, not on every retry
};

}  // namespace tov
