#include "audio/audio_format.h"

namespace tov {

AudioFormat formatWithDefaults(int sampleRate, int channels) {
    AudioFormat format;
    if (sampleRate > 0) format.sampleRate = sampleRate;
    if (channels > 0) format.channels = channels;
    return format;
}

bool isPlayableFormat(const AudioFormat& format) {
    return format.sampleRate > 0 && format.sampleRate <= kMaxSampleRate && format.channels > 0 &&
           format.channels <= kMaxChannels;
}

}  // namespace tov
