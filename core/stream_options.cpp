#include "core/stream_options.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tov {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

// The C atol rule, kept within 32 bits: leading digits, 0 when none.
int32_t atolRule(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

std::string flag(bool value) {
    return value ? "1" : "0";
}

bool linkIsLive(const PanelModel& model) {
    return model.linkState == LinkState::Live;
}

// The preset record that stands in for the custom size in No app mode; null without records.
const PresetRecord* chosenPreset(const PanelModel& model) {
    const PresetRecord* found = nullptr;
    for (const PresetRecord& p : model.presets) {
        if (p.name == model.preset) found = &p;
    }
    if (found) return found;
    for (const PresetRecord& p : model.presets) {
        if (p.fps == 60) return &p;
    }
    return model.presets.empty() ? nullptr : &model.presets.front();
}

}  // namespace

std::vector<PresetRecord> parsePresets(const std::string& text) {
    std::vector<PresetRecord> presets;
    if (text.empty()) return presets;
    for (const std::string& record : split(text, ';')) {
        const std::vector<std::string> f = split(record, ':');
        if (f.size() != 5) continue;
        // "custom" means the custom values; it never names a record.
        if (f[0] == "custom") continue;
        presets.push_back({f[0], f[1], atolRule(f[2]), atolRule(f[3]), atolRule(f[4])});
    }
    return presets;
}

int64_t round8(double v) {
    // NaN and values far beyond any picture size would make the conversion undefined.
    const double whole = std::isnan(v) ? 0.0 : std::clamp(v, -1e15, 1e15);
    return (static_cast<int64_t>(whole) + 4) / 8 * 8;
}

int32_t probeOutcome(const PhoneInfo& info) {
    if (!info.known) return 0;
    return info.hasEncoders ? 1 : -1;
}

std::string codecInUse(const PanelModel& model, const PhoneInfo& info) {
    const std::string& wanted = model.noApp ? model.noAppCodec : model.codecChoice;
    if (info.hasCodec(wanted) && (wanted == "h264" || model.pcHevc)) return wanted;
    return info.hasCodec("hevc") && model.pcHevc ? "hevc" : "h264";
}

void refreshDerivedValues(PanelModel& model, const PhoneInfo& info) {
    model.probeState = probeOutcome(info);
    model.encoders = info.encoders;
    const bool live = linkIsLive(model);
    if (model.probeState != 1) {
        if (!live) model.presets.clear();
        return;
    }
    model.phoneHevc = info.hasCodec("hevc");
    if (!live) {
        model.codec = codecInUse(model, info);
        const PhoneInfo::Encoder* selected = info.encoderFor(model.codec, model.encoder);
        model.encoderName = selected ? selected->name : std::string();
        std::string limits;
        for (const std::string& codec : info.codecs) {
            const PhoneInfo::Encoder* e = info.encoderFor(codec, model.encoder);
            if (!e) continue;
            if (!limits.empty()) limits += ';';
            limits += codec + ":" + std::to_string(e->maxWidth) + ":" +
                      std::to_string(e->maxHeight) + ":" + std::to_string(e->fps) + ":" +
                      std::to_string(e->maxBitrate);
        }
        model.limits = limits;
    }
    // While a Phone app stream is live, the phone app's own report owns these.
    if (live && !model.noApp) return;
    const PhoneInfo::Encoder* selected = info.encoderFor(model.codec, model.encoder);
    if (!selected) return;
    model.presets = parsePresets(selected->presets);
    if (!live) {
        model.maxBitrate =
            static_cast<int32_t>(std::clamp<int64_t>(selected->maxBitrate, 8000000, 400000000));
    }
}

void addShapeOptions(const PanelModel& model, StreamOptionMap& options) {
    const double ratio = shapeRatio(model);
    char text[64] = "0";
    if (ratio > 0) std::snprintf(text, sizeof text, "%.4f", ratio);
    options["shape"] = text;
    options["shapeName"] = shapeName(model);
}

void applyAdaptLevel(const PanelModel& model, StreamOptionMap& options) {
    if (!model.adapt) return;
    if (model.adaptBitrate > 0) {
        const long long chosen = std::strtoll(options["bitrate"].c_str(), nullptr, 10);
        if (model.adaptBitrate < chosen) options["bitrate"] = std::to_string(model.adaptBitrate);
    }
    if (!model.noApp) {
        if (!model.adaptPreset.empty()) options["preset"] = model.adaptPreset;
        return;
    }
    if (model.adaptWidth > 0 && model.adaptHeight > 0 && model.adaptFps > 0) {
        options["width"] = std::to_string(model.adaptWidth);
        options["height"] = std::to_string(model.adaptHeight);
        options["fps"] = std::to_string(model.adaptFps);
    }
}

StreamOptionMap buildStreamOptions(PanelModel& model, const PhoneInfo& info) {
    StreamOptionMap options = buildChosenStreamOptions(model, info);
    applyAdaptLevel(model, options);
    return options;
}

StreamOptionMap buildChosenStreamOptions(PanelModel& model, const PhoneInfo& info) {
    refreshDerivedValues(model, info);
    StreamOptionMap options;
    options["video"] = flag(model.video);
    options["audio"] = flag(model.audio);
    options["encoder"] = model.encoder;
    options["vbr"] = flag(model.vbr);
    options["voice"] = flag(model.voice);
    options["width"] = std::to_string(model.customWidth);
    options["height"] = std::to_string(model.customHeight);
    options["fps"] = std::to_string(model.fps);
    options["keyframe"] = model.keyframe;
    options["fit"] = std::to_string(model.fit);
    addShapeOptions(model, options);

    if (!model.noApp) {
        options["preset"] = model.preset;
        options["bitrate"] = std::to_string(model.bitrate);
        options["codec"] = model.codecChoice;
        return options;
    }

    options["bitrate"] = std::to_string(static_cast<int64_t>(model.mbps) * 1000000);
    options["codec"] = model.noAppCodec;
    if (model.preset == "custom") return options;
    const PresetRecord* preset = chosenPreset(model);
    if (!preset) return options;

    const double n = shapeRatio(model);
    int64_t w = preset->width, h = preset->height;
    if (n >= 1) {
        const int64_t q = std::min(round8(static_cast<double>(w) / n), w);
        if (h < q) {
            const double s = std::sqrt(static_cast<double>(w) * static_cast<double>(h) * n);
            w = round8(s);
            h = round8(s / n);
        } else {
            h = q;
        }
    }
    options["width"] = std::to_string(w);
    options["height"] = std::to_string(h);
    options["fps"] = std::to_string(preset->fps);
    const int64_t capped = std::min<int64_t>(model.bitrate, model.maxBitrate);
    options["bitrate"] = std::to_string(std::max<int64_t>(8000000, capped));
    return options;
}

}  // namespace tov
