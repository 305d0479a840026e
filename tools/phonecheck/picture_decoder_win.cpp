#include <string>

#include "tools/phonecheck/picture_decoder.h"
#include "video/mf_decoder_win.h"

namespace tov::phonecheck {

std::string pcDecoders() {
    MfDecoder probe(nullptr, {});
    probe.threadStarting();
    ComPtr<IMFTransform> hevc;
    const bool hasHevc = SUCCEEDED(createDecoderTransform(1, hevc));
    hevc = nullptr;
    probe.threadEnding();
    return hasHevc ? "h264,hevc" : "h264";
}

std::string decoderName() {
    return "Media Foundation";
}

std::string decodeFirstPicture(const VideoConfig& config, const std::string& keyPicture) {
    MfDecoder decoder(nullptr, {});
    decoder.threadStarting();
    std::string why;
    int pictures = 0;
    const auto sink = [&pictures](bool, int64_t) { ++pictures; };
    if (!decoder.open(config.codec, config.width, config.height, config.fps)) {
        why = "Media Foundation has no decoder that opens " + config.describe();
    } else {
        const std::string unit = config.data + keyPicture;
        if (!decoder.decode(reinterpret_cast<const uint8_t*>(unit.data()), unit.size(), 0, sink) ||
            !decoder.finish(sink)) {
            why = "the decoder failed on the first key picture";
        } else if (pictures == 0) {
            why = "the decoder gave no picture for the first key picture";
        }
    }
    decoder.close();
    decoder.threadEnding();
    return why;
}

}  // namespace tov::phonecheck
