// The parameter map the phone receives for a stream, and the values derived from the phone's
// abilities that the panel shows. Callers hold the model lock around every function here.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/panel_model.h"
#include "core/stream_shape.h"
#include "core/phone_info.h"

namespace tov {

// Ordered text key to text value; the Session sends it as it is.
using StreamOptionMap = std::map<std::string, std::string>;

// "name:label:fps:width:height" records joined by ";". Records with another field count are
// skipped, numbers read with the atol rule.
std::vector<PresetRecord> parsePresets(const std::string& text);

// The nearest multiple of 8 of v's integer part.
int64_t round8(double v);

// 1 when the probe answered with encoders, -1 when a record arrived without them, 0 before any.
int32_t probeOutcome(const PhoneInfo& info);

// The codec the stream will use: the wanted one when the phone has it and this PC decodes it,
// else HEVC when both sides can, else H.264.
std::string codecInUse(const PanelModel& model, const PhoneInfo& info);

// Updates probeState, encoders, phoneHevc, codec, encoderName, limits, presets and maxBitrate from
// the last PhoneInfo (a record with `known` false counts as none yet).
void refreshDerivedValues(PanelModel& model, const PhoneInfo& info);

// Refreshes the derived values, then builds the map for the model's mode: the user's choices,
// with the level the stream adapter sends instead while it is on.
StreamOptionMap buildStreamOptions(PanelModel& model, const PhoneInfo& info);
// The same with the user's choices alone: the ceiling the stream adapter stays under.
StreamOptionMap buildChosenStreamOptions(PanelModel& model, const PhoneInfo& info);
// Puts the adapter's level into a map of the user's choices (never above them), when it is on.
void applyAdaptLevel(const PanelModel& model, StreamOptionMap& options);

// The "shape" and "shapeName" pairs of the map.
void addShapeOptions(const PanelModel& model, StreamOptionMap& options);

}  // namespace tov
