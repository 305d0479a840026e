// Natively there is no sound device to drive: the default output plays out in real time into
// nothing, so the player behaves as it would with a device.
#include "audio/audio_output.h"
#include "audio/realtime_sink.h"

namespace tov {

std::unique_ptr<AudioOutput> makeDefaultAudioOutput() {
    return std::make_unique<RealTimeSink>();
}

}  // namespace tov
