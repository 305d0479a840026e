#include "audio/audio_output.h"
#include "audio/wasapi_output_win.h"

namespace tov {

std::unique_ptr<AudioOutput> makeDefaultAudioOutput() {
    return std::make_unique<WasapiOutput>();
}

}  // namespace tov
