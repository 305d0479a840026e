#include "record/parameter_sets.h"

#include <cstdint>
#include <vector>

#include "core/annex_b.h"
#include "record/box_writer.h"

namespace tov {
namespace {

constexpr int kH264Sps = 7, kH264Pps = 8, kH264Aud = 9;
constexpr int kHevcVps = 32, kHevcSps = 33, kHevcPps = 34, kHevcAud = 35;

uint8_t byteAt(std::string_view s, size_t i) {
    return static_cast<uint8_t>(s[i]);
}

bool hevc(VideoCodec codec) {
    return codec == VideoCodec::Hevc;
}

std::vector<std::string_view> setsOfType(VideoCodec codec, std::string_view csd, int type) {
    std::vector<std::string_view> out;
    for (std::string_view nal : splitAnnexB(csd)) {
        if (nalType(hevc(codec), nal) == type) out.push_back(nal);
    }
    return out;
}

std::string avcRecord(std::string_view csd) {
    const auto sps = setsOfType(VideoCodec::H264, csd, kH264Sps);
    const auto pps = setsOfType(VideoCodec::H264, csd, kH264Pps);
    if (sps.empty() || pps.empty() || sps[0].size() < 4) return {};
    BoxWriter w;
    w.u8(1);                   // configurationVersion
    w.u8(byteAt(sps[0], 1));   // AVCProfileIndication
    w.u8(byteAt(sps[0], 2));   // profile_compatibility
    w.u8(byteAt(sps[0], 3));   // AVCLevelIndication
    w.u8(0xfc | 3);            // 4-byte NAL unit lengths
    w.u8(0xe0 | static_cast<uint32_t>(sps.size() & 0x1f));
    for (std::string_view s : sps) {
        w.u16(static_cast<uint32_t>(s.size()));
        w.raw(s);
    }
    w.u8(static_cast<uint32_t>(pps.size() & 0xff));
    for (std::string_view p : pps) {
        w.u16(static_cast<uint32_t>(p.size()));
        w.raw(p);
    }
    return w.take();
}

std::string hevcRecord(std::string_view csd) {
    const auto vps = setsOfType(VideoCodec::Hevc, csd, kHevcVps);
    const auto sps = setsOfType(VideoCodec::Hevc, csd, kHevcSps);
    const auto pps = setsOfType(VideoCodec::Hevc, csd, kHevcPps);
    if (vps.empty() || sps.empty() || pps.empty()) return {};
    // The SPS after its 2-byte header: 4 bits of VPS id, 3 of max sub-layers, 1 of nesting,
    // then profile_tier_level: profile space/tier/profile (1 byte), 32 compatibility flags,
    // 48 bits of constraint flags, the level (1 byte).
    const std::string s = nalPayload(/*hevc=*/true, sps[0]);
    if (s.size() < 1 + 12) return {};
    const uint8_t subLayers = (byteAt(s, 0) >> 1) & 7;
    const uint8_t nesting = byteAt(s, 0) & 1;
    BoxWriter w;
    w.u8(1);                   // configurationVersion
    w.u8(byteAt(s, 1));        // profile space, tier, profile idc
    for (size_t i = 2; i < 6; ++i) w.u8(byteAt(s, i));   // compatibility flags
    for (size_t i = 6; i < 12; ++i) w.u8(byteAt(s, i));  // constraint flags
    w.u8(byteAt(s, 12));       // level idc
    w.u16(0xf000);             // min_spatial_segmentation_idc 0
    w.u8(0xfc);                // parallelismType 0
    w.u8(0xfc | 1);            // chroma_format_idc 4:2:0
    w.u8(0xf8);                // bit depth luma 8
    w.u8(0xf8);                // bit depth chroma 8
    w.u16(0);                  // avgFrameRate unknown
    // constantFrameRate 0, numTemporalLayers, temporalIdNested, 4-byte lengths.
    w.u8(static_cast<uint32_t>(((subLayers + 1) << 3) | (nesting << 2) | 3));
    w.u8(3);
    for (const auto* sets : {&vps, &sps, &pps}) {
        w.u8(0x80 | static_cast<uint32_t>(nalType(/*hevc=*/true, (*sets)[0])));  // complete
        w.u16(static_cast<uint32_t>(sets->size()));
        for (std::string_view nal : *sets) {
            w.u16(static_cast<uint32_t>(nal.size()));
            w.raw(nal);
        }
    }
    return w.take();
}

}  // namespace

bool isParameterSet(VideoCodec codec, std::string_view nal) {
    const int t = nalType(hevc(codec), nal);
    return codec == VideoCodec::H264 ? (t == kH264Sps || t == kH264Pps)
                                     : (t == kHevcVps || t == kHevcSps || t == kHevcPps);
}

bool carriesPicture(VideoCodec codec, std::string_view annexB) {
    for (std::string_view nal : splitAnnexB(annexB)) {
        const int t = nalType(hevc(codec), nal);
        // H.264 slices are types 1 to 5; HEVC's video coding layer is types 0 to 31.
        if (codec == VideoCodec::H264 ? (t >= 1 && t <= 5) : (t >= 0 && t <= 31)) return true;
    }
    return false;
}

std::string decoderConfigRecord(VideoCodec codec, std::string_view csd) {
    return codec == VideoCodec::H264 ? avcRecord(csd) : hevcRecord(csd);
}

std::string lengthPrefixedSample(VideoCodec codec, std::string_view annexB) {
    const int aud = codec == VideoCodec::H264 ? kH264Aud : kHevcAud;
    BoxWriter w;
    for (std::string_view nal : splitAnnexB(annexB)) {
        if (isParameterSet(codec, nal) || nalType(hevc(codec), nal) == aud) continue;
        w.u32(static_cast<uint32_t>(nal.size()));
        w.raw(nal);
    }
    return w.take();
}

}  // namespace tov
