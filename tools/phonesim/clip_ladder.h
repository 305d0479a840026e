// A ladder of clips standing in for a phone's encoder that follows the stream options: each clip
// made at one size, frame rate and bitrate (tests/media/make-clips.sh makes them), the presets
// the phone offers to match, and the choice of the clip that answers what the options ask for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/text_map.h"

namespace tov::phonesim {

struct LadderRung {
    int width = 0;
    int height = 0;
    int fps = 0;
    int64_t bitrate = 0;  // what the clip was encoded at, bits per second
    std::string path;
};

// The clips of a ladder folder, named "WIDTHxHEIGHT_FPS_KBPSk.h264" (other files are left
// alone), best first: by pixels a second, then by bitrate.
std::vector<LadderRung> listLadder(const std::string& folder);

// One preset per size and frame rate, best first, as the info probe and the phone's reports list
// presets: "NAME:LABEL:FPS:WIDTH:HEIGHT" joined by ";", NAME being the short side, "p" and the
// frame rate ("720p60").
std::string ladderPresets(const std::vector<LadderRung>& rungs);
std::string presetName(const LadderRung& rung);

// What the options ask of the encoder; 0 leaves a value to the phone (the most it has).
struct StreamWish {
    int width = 0;
    int height = 0;
    int fps = 0;
    int64_t bitrate = 0;
};

// Phone app mode: the preset's size and frame rate ("custom", or a preset the ladder does not
// have: the options' own size and frame rate); No app mode: the options' size and frame rate.
// Both: the options' bitrate.
StreamWish wishFromOptions(const TextMap& options, bool noApp,
                           const std::vector<LadderRung>& rungs);

// The rung that answers a wish: the largest size whose long side is not above the wish's, the
// highest frame rate not above it at that size, then the highest bitrate not above it, as an
// encoder set to a bitrate stays at or under it; the least of each where nothing fits. Index
// into `rungs`, which must not be empty.
size_t pickRung(const std::vector<LadderRung>& rungs, const StreamWish& wish);

}  // namespace tov::phonesim
