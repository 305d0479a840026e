// Natively there is no decoder: the parameter sets are what can be checked.
#include "tools/phonecheck/picture_decoder.h"

namespace tov::phonecheck {

std::string pcDecoders() {
    return "h264,hevc";
}

std::string decoderName() {
    return {};
}

std::string decodeFirstPicture(const VideoConfig&, const std::string&) {
    return "this build has no decoder";
}

}  // namespace tov::phonecheck
