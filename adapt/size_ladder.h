// The rungs the size loop steps along: rung 0 is what the user chose, each next one cheaper to
// decode and present (fewer pixels a second).
#pragma once

#include <string>
#include <vector>

#include "core/panel_model.h"

namespace tov {

struct AdaptRung {
    int width = 0;
    int height = 0;
    int fps = 0;
    std::string preset;  // Phone app mode: the phone's preset; empty in No app mode
    double cost = 1.0;   // pixels a second relative to rung 0

    // How the rung is remembered: the preset's name, or "WxH@FPS"; empty for a rung of no
    // known size (the user's own, when the ladder has no other).
    std::string name() const;
    bool operator==(const AdaptRung&) const = default;
};

// Phone app mode: the chosen preset, then each of the phone's presets with fewer pixels a second,
// the most first. A choice that is no preset (Custom, or one the phone does not list) gives a
// single rung without a preset: only the bitrate adapts then.
std::vector<AdaptRung> presetLadder(const std::vector<PresetRecord>& presets,
                                    const std::string& chosen);

// No app mode: the chosen size and rate; the same size at 30 fps when the rate is higher (half
// the pictures, the cheapest way to halve the load and the one games mind least); then two
// thirds and half of the size at that rate. A size of 0 (the phone's own) gives a single rung.
std::vector<AdaptRung> sizeLadder(int width, int height, int fps);

std::vector<double> rungCosts(const std::vector<AdaptRung>& ladder);
// The rung with that name, or 0.
int rungNamed(const std::vector<AdaptRung>& ladder, const std::string& name);

}  // namespace tov
