#include "tools/phonesim/sps_size.h"

#include "tools/phonesim/bit_reader.h"

namespace tov::phonesim {
namespace {

void skipScalingList(BitReader& r, int size) {
    int last = 8, next = 8;
    for (int j = 0; j < size; ++j) {
        if (next != 0) next = (last + r.se() + 256) % 256;
        last = (next == 0) ? last : next;
    }
}

bool croppedSize(uint32_t codedWidth, uint32_t codedHeight, uint32_t unitX, uint32_t unitY,
                 uint32_t left, uint32_t right, uint32_t top, uint32_t bottom, int& width,
                 int& height) {
    const int64_t w = int64_t{codedWidth} - int64_t{unitX} * (int64_t{left} + right);
    const int64_t h = int64_t{codedHeight} - int64_t{unitY} * (int64_t{top} + bottom);
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace

std::string toRbsp(const std::string& nal, size_t headerBytes) {
    std::string out;
    int zeros = 0;
    for (size_t i = headerBytes; i < nal.size(); ++i) {
        const char c = nal[i];
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = (c == 0) ? zeros + 1 : 0;
        out.push_back(c);
    }
    return out;
}

bool readH264SpsSize(const std::string& sps, int& width, int& height) {
    if (sps.empty() || (sps[0] & 0x1f) != 7) return false;
    BitReader r(toRbsp(sps, 1));
    const uint32_t profile = r.bits(8);
    r.skip(16);  // constraint flags, level
    r.ue();      // seq_parameter_set_id
    uint32_t chromaFormat = 1;
    if (profile == 100 || profile == 110 || profile == 122 || profile == 244 || profile == 44 ||
        profile == 83 || profile == 86 || profile == 118 || profile == 128 || profile == 138 ||
        profile == 139 || profile == 134 || profile == 135) {
        chromaFormat = r.ue();
        if (chromaFormat == 3) r.bit();  // separate_colour_plane_flag
        r.ue();                          // bit_depth_luma
        r.ue();                          // bit_depth_chroma
        r.bit();                         // qpprime_y_zero_transform_bypass_flag
        if (r.bit()) {                   // seq_scaling_matrix_present_flag
            for (int i = 0; i < (chromaFormat != 3 ? 8 : 12); ++i) {
                if (r.bit()) skipScalingList(r, i < 6 ? 16 : 64);
            }
        }
    }
    r.ue();  // log2_max_frame_num
    const uint32_t pocType = r.ue();
    if (pocType == 0) {
        r.ue();
    } else if (pocType == 1) {
        r.bit();
        r.se();
        r.se();
        const uint32_t cycle = r.ue();
        if (cycle > 255) return false;
        for (uint32_t i = 0; i < cycle; ++i) r.se();
    }
    r.ue();   // max_num_ref_frames
    r.bit();  // gaps_in_frame_num_allowed
    const uint32_t mbWidth = r.ue() + 1;
    const uint32_t mapHeight = r.ue() + 1;
    const uint32_t frameMbsOnly = r.bit();
    if (!frameMbsOnly) r.bit();  // mb_adaptive_frame_field
    r.bit();                     // direct_8x8_inference
    uint32_t crop[4] = {0, 0, 0, 0};
    if (r.bit()) {
        for (uint32_t& c : crop) c = r.ue();
    }
    if (r.failed() || mbWidth > 1024 || mapHeight > 1024) return false;
    const uint32_t unitX = (chromaFormat == 1 || chromaFormat == 2) ? 2 : 1;
    const uint32_t unitY = (chromaFormat == 1 ? 2 : 1) * (2 - frameMbsOnly);
    return croppedSize(mbWidth * 16, mapHeight * 16 * (2 - frameMbsOnly), unitX, unitY, crop[0],
                       crop[1], crop[2], crop[3], width, height);
}

bool readHevcSpsSize(const std::string& sps, int& width, int& height) {
    if (sps.size() < 2 || ((sps[0] >> 1) & 0x3f) != 33) return false;
    BitReader r(toRbsp(sps, 2));
    r.skip(4);  // sps_video_parameter_set_id
    const uint32_t maxSubLayersMinus1 = r.bits(3);
    r.skip(1);   // temporal_id_nesting
    r.skip(96);  // general profile, tier and level
    bool profilePresent[8] = {}, levelPresent[8] = {};
    for (uint32_t i = 0; i < maxSubLayersMinus1; ++i) {
        profilePresent[i] = r.bit();
        levelPresent[i] = r.bit();
    }
    if (maxSubLayersMinus1 > 0) r.skip(2 * static_cast<int>(8 - maxSubLayersMinus1));
    for (uint32_t i = 0; i < maxSubLayersMinus1; ++i) {
        if (profilePresent[i]) r.skip(88);
        if (levelPresent[i]) r.skip(8);
    }
    r.ue();  // sps_seq_parameter_set_id
    const uint32_t chromaFormat = r.ue();
    if (chromaFormat == 3) r.bit();  // separate_colour_plane_flag
    const uint32_t codedWidth = r.ue();
    const uint32_t codedHeight = r.ue();
    uint32_t crop[4] = {0, 0, 0, 0};
    if (r.bit()) {  // conformance_window_flag
        for (uint32_t& c : crop) c = r.ue();
    }
    if (r.failed() || codedWidth > 16384 || codedHeight > 16384) return false;
    const uint32_t unitX = (chromaFormat == 1 || chromaFormat == 2) ? 2 : 1;
    const uint32_t unitY = chromaFormat == 1 ? 2 : 1;
    return croppedSize(codedWidth, codedHeight, unitX, unitY, crop[0], crop[1], crop[2], crop[3],
                       width, height);
}

}  // namespace tov::phonesim
