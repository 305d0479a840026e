// The program's own decoder, where this build has one (Media Foundation on Windows), opened on
// the phone's configuration and fed its first key picture.
#pragma once

#include <string>

#include "tools/phonecheck/parameter_sets.h"

namespace tov::phonecheck {

// What this PC decodes, as the options' "decoders" key says it.
std::string pcDecoders();

// Whether this build has a decoder to try ("Media Foundation"), else empty.
std::string decoderName();

// An empty text when the decoder opened on `config` and gave a picture for `keyPicture` (the
// configuration's parameter sets put in front, as the program does); else why not.
std::string decodeFirstPicture(const VideoConfig& config, const std::string& keyPicture);

}  // namespace tov::phonecheck
