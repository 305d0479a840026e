#include "tools/phonecheck/parameter_sets.h"

#include <vector>

#include "core/annex_b.h"
#include "core/sps_size.h"
#include "session/packet.h"

namespace tov::phonecheck {

std::string VideoConfig::describe() const {
    return std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(fps) +
           " fps, " + (codec == 1 ? "HEVC" : codec == 0 ? "H.264" : "codec " + std::to_string(codec));
}

bool readVideoConfig(const uint8_t* payload, size_t size, VideoConfig& out) {
    if (size < 8) return false;
    out.width = readU16(payload);
    out.height = readU16(payload + 2);
    out.fps = readU16(payload + 4);
    out.codec = readU16(payload + 6);
    out.data.assign(reinterpret_cast<const char*>(payload) + 8, size - 8);
    return true;
}

std::string checkParameterSets(const VideoConfig& config) {
    if (config.codec != 0 && config.codec != 1) {
        return "codec number " + std::to_string(config.codec) + " (0 is H.264, 1 HEVC)";
    }
    if (config.width <= 0 || config.height <= 0) return "no picture size in the configuration";
    const bool hevc = config.codec == 1;
    const int spsType = hevc ? 33 : 7;
    const std::vector<int> needed = hevc ? std::vector<int>{32, 33, 34} : std::vector<int>{7, 8};
    const char* const names[] = {"VPS", "SPS", "PPS"};
    std::string_view sps;
    std::vector<int> found;
    for (std::string_view nal : splitAnnexB(config.data)) {
        const int type = nalType(hevc, nal);
        found.push_back(type);
        if (type == spsType && sps.empty()) sps = nal;
    }
    std::string missing;
    for (size_t i = 0; i < needed.size(); ++i) {
        bool there = false;
        for (int type : found) there = there || type == needed[i];
        if (!there) missing += (missing.empty() ? "" : ", ") + std::string(names[i + (hevc ? 0 : 1)]);
    }
    if (!missing.empty()) {
        return "the configuration's parameter sets lack " + missing + " (" +
               std::to_string(found.size()) + " NAL units in " + std::to_string(config.data.size()) +
               " bytes, Annex-B start codes expected)";
    }
    int width = 0, height = 0;
    const bool read = hevc ? readHevcSpsSize(sps, width, height)
                           : readH264SpsSize(sps, width, height);
    if (!read) return "its sequence parameter set cannot be read";
    if (width != config.width || height != config.height) {
        return "its sequence parameter set describes " + std::to_string(width) + "x" +
               std::to_string(height) + ", the packet announces " + std::to_string(config.width) +
               "x" + std::to_string(config.height);
    }
    return {};
}

}  // namespace tov::phonecheck
