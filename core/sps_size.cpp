#include "core/sps_size.h"

#include "core/annex_b.h"
#include "core/bit_reader.h"
#include "core/sps_syntax.h"

namespace tov {
namespace {

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

bool readH264SpsSize(std::string_view sps, int& width, int& height) {
    if (nalType(/*hevc=*/false, sps) != 7) return false;
    BitReader r(nalPayload(/*hevc=*/false, sps));
    const uint32_t profile = r.bits(8);
    r.skip(16);  // constraint flags, level
    r.ue();      // seq_parameter_set_id
    uint32_t chromaFormat = 1;
    if (profile == 100 || profile == 110 || profile == 122 || profile == 244 || profile == 44 ||
        profile == 83 || profile == 86 || profile == 118 || profile == 128 || profile == 138 ||
        profile == 139 || profile == 134 || profile == 135) {
        chromaFormat = r.ue();
        if (chromaFormat == 3) r.skip(1);  // separate_colour_plane_flag
        r.ue();                            // bit_depth_luma
        r.ue();                            // bit_depth_chroma
        r.skip(1);                         // qpprime_y_zero_transform_bypass_flag
        if (r.flag()) {                    // seq_scaling_matrix_present_flag
            for (int i = 0; i < (chromaFormat != 3 ? 8 : 12); ++i) {
                if (r.flag()) skipH264ScalingList(r, i < 6 ? 16 : 64);
            }
        }
    }
    r.ue();  // log2_max_frame_num
    const uint32_t pocType = r.ue();
    if (pocType == 0) {
        r.ue();
    } else if (pocType == 1) {
        r.skip(1);
        r.se();
        r.se();
        const uint32_t cycle = r.count(255);
        for (uint32_t i = 0; i < cycle; ++i) r.se();
    }
    r.ue();     // max_num_ref_frames
    r.skip(1);  // gaps_in_frame_num_allowed
    const uint32_t mbWidth = r.ue() + 1;
    const uint32_t mapHeight = r.ue() + 1;
    const uint32_t frameMbsOnly = r.bits(1);
    if (!frameMbsOnly) r.skip(1);  // mb_adaptive_frame_field
    r.skip(1);                     // direct_8x8_inference
    uint32_t crop[4] = {0, 0, 0, 0};
    if (r.flag()) {
        for (uint32_t& c : crop) c = r.ue();
    }
    if (r.failed() || mbWidth > 1024 || mapHeight > 1024) return false;
    const uint32_t unitX = (chromaFormat == 1 || chromaFormat == 2) ? 2 : 1;
    const uint32_t unitY = (chromaFormat == 1 ? 2 : 1) * (2 - frameMbsOnly);
    return croppedSize(mbWidth * 16, mapHeight * 16 * (2 - frameMbsOnly), unitX, unitY, crop[0],
                       crop[1], crop[2], crop[3], width, height);
}

bool readHevcSpsSize(std::string_view sps, int& width, int& height) {
    if (sps.size() < 2 || nalType(/*hevc=*/true, sps) != 33) return false;
    BitReader r(nalPayload(/*hevc=*/true, sps));
    r.skip(4);  // sps_video_parameter_set_id
    const uint32_t maxSubLayersMinus1 = r.bits(3);
    r.skip(1);  // temporal_id_nesting
    skipHevcProfileTierLevel(r, maxSubLayersMinus1);
    r.ue();  // sps_seq_parameter_set_id
    const uint32_t chromaFormat = r.ue();
    if (chromaFormat == 3) r.skip(1);  // separate_colour_plane_flag
    const uint32_t codedWidth = r.ue();
    const uint32_t codedHeight = r.ue();
    uint32_t crop[4] = {0, 0, 0, 0};
    if (r.flag()) {  // conformance_window_flag
        for (uint32_t& c : crop) c = r.ue();
    }
    if (r.failed() || codedWidth > 16384 || codedHeight > 16384) return false;
    const uint32_t unitX = (chromaFormat == 1 || chromaFormat == 2) ? 2 : 1;
    const uint32_t unitY = chromaFormat == 1 ? 2 : 1;
    return croppedSize(codedWidth, codedHeight, unitX, unitY, crop[0], crop[1], crop[2], crop[3],
                       width, height);
}

}  // namespace tov
