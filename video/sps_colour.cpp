#include "video/sps_colour.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/annex_b.h"
#include "core/bit_reader.h"
#include "core/sps_syntax.h"

namespace tov {
namespace {

constexpr int32_t kCodecHevc = 1;
constexpr int kH264Sps = 7;
constexpr int kHevcSps = 33;

// The payload of the first SPS that has one, emulation-prevention bytes taken out; empty when
// there is none.
std::string findSps(bool hevc, std::string_view csd) {
    for (std::string_view nal : splitAnnexB(csd)) {
        // A valid unit never holds three zero bytes; a damaged one is read up to them.
        nal = nal.substr(0, nal.find(std::string_view("\0\0\0", 3)));
        if (nalType(hevc, nal) != (hevc ? kHevcSps : kH264Sps)) continue;
        std::string payload = nalPayload(hevc, nal);
        if (!payload.empty()) return payload;
    }
    return {};
}

// The VUI up to the colour description, the same in both codecs.
StreamColour readVui(BitReader& r) {
    StreamColour c;
    if (r.flag()) {                        // aspect_ratio_info_present_flag
        if (r.bits(8) == 255) r.skip(32);  // aspect_ratio_idc, Extended_SAR: sar_width, sar_height
    }
    if (r.flag()) r.skip(1);  // overscan_info_present_flag, overscan_appropriate_flag
    if (!r.flag()) return r.failed() ? StreamColour{} : c;  // video_signal_type_present_flag
    r.skip(3);                                              // video_format
    const bool fullRange = r.flag();
    std::optional<ColourMatrix> matrix;
    if (r.flag()) {  // colour_description_present_flag
        r.skip(16);  // colour_primaries, transfer_characteristics
        matrix = matrixFromCode(r.bits(8));
    }
    if (r.failed()) return {};
    c.fullRange = fullRange;
    c.matrix = matrix;
    return c;
}

StreamColour readH264(BitReader& r) {
    const uint32_t profile = r.bits(8);
    r.skip(16);  // constraint flags, level_idc
    r.ue();      // seq_parameter_set_id
    switch (profile) {
        case 100:
        case 110:
        case 122:
        case 244:
        case 44:
        case 83:
        case 86:
        case 118:
        case 128:
        case 138:
        case 139:
        case 134:
        case 135: {
            const uint32_t chromaFormat = r.ue();
            if (chromaFormat == 3) r.skip(1);  // separate_colour_plane_flag
            r.ue();                            // bit_depth_luma_minus8
            r.ue();                            // bit_depth_chroma_minus8
            r.skip(1);                         // qpprime_y_zero_transform_bypass_flag
            if (r.flag()) {                    // seq_scaling_matrix_present_flag
                const int lists = chromaFormat != 3 ? 8 : 12;
                for (int i = 0; i < lists; ++i) {
                    if (r.flag()) skipH264ScalingList(r, i < 6 ? 16 : 64);
                }
            }
            break;
        }
        default:
            break;
    }
    r.ue();  // log2_max_frame_num_minus4
    const uint32_t pocType = r.ue();
    if (pocType == 0) {
        r.ue();  // log2_max_pic_order_cnt_lsb_minus4
    } else if (pocType == 1) {
        r.skip(1);  // delta_pic_order_always_zero_flag
        r.se();     // offset_for_non_ref_pic
        r.se();     // offset_for_top_to_bottom_field
        const uint32_t cycle = r.count(255);
        for (uint32_t i = 0; i < cycle; ++i) r.se();
    }
    r.ue();                    // max_num_ref_frames
    r.skip(1);                 // gaps_in_frame_num_value_allowed_flag
    r.ue();                    // pic_width_in_mbs_minus1
    r.ue();                    // pic_height_in_map_units_minus1
    if (!r.flag()) r.skip(1);  // frame_mbs_only_flag, mb_adaptive_frame_field_flag
    r.skip(1);                 // direct_8x8_inference_flag
    if (r.flag()) {            // frame_cropping_flag
        for (int i = 0; i < 4; ++i) r.ue();
    }
    if (r.failed() || !r.flag()) return {};  // vui_parameters_present_flag
    return readVui(r);
}

void skipHevcScalingListData(BitReader& r) {
    for (int sizeId = 0; sizeId < 4; ++sizeId) {
        for (int matrixId = 0; matrixId < 6; matrixId += sizeId == 3 ? 3 : 1) {
            if (!r.flag()) {  // scaling_list_pred_mode_flag
                r.ue();       // scaling_list_pred_matrix_id_delta
                continue;
            }
            const int coefficients = std::min(64, 1 << (4 + (sizeId << 1)));
            if (sizeId > 1) r.se();  // scaling_list_dc_coef_minus8
            for (int i = 0; i < coefficients; ++i) r.se();
        }
    }
}

// Returns NumDeltaPocs of set `index`; `deltaPocs` holds those of the sets before it.
uint32_t skipHevcShortTermRefPicSet(BitReader& r, uint32_t index,
                                    const std::vector<uint32_t>& deltaPocs) {
    if (index != 0 && r.flag()) {  // inter_ref_pic_set_prediction_flag
        r.skip(1);                 // delta_rps_sign
        r.ue();                    // abs_delta_rps_minus1
        uint32_t count = 0;
        for (uint32_t j = 0; j <= deltaPocs[index - 1] && !r.failed(); ++j) {
            const bool used = r.flag();     // used_by_curr_pic_flag
            if (used || r.flag()) ++count;  // else use_delta_flag
        }
        return count;
    }
    const uint32_t negative = r.count(16);
    const uint32_t positive = r.count(16);
    for (uint32_t i = 0; i < negative + positive; ++i) {
        r.ue();     // delta_poc_minus1
        r.skip(1);  // used_by_curr_pic_flag
    }
    return negative + positive;
}

StreamColour readHevc(BitReader& r) {
    r.skip(4);  // sps_video_parameter_set_id
    const uint32_t maxSubLayersMinus1 = r.bits(3);
    if (maxSubLayersMinus1 > 6) return {};
    r.skip(1);  // sps_temporal_id_nesting_flag
    skipHevcProfileTierLevel(r, maxSubLayersMinus1);
    r.ue();                      // sps_seq_parameter_set_id
    if (r.ue() == 3) r.skip(1);  // chroma_format_idc, separate_colour_plane_flag
    r.ue();                      // pic_width_in_luma_samples
    r.ue();                      // pic_height_in_luma_samples
    if (r.flag()) {              // conformance_window_flag
        for (int i = 0; i < 4; ++i) r.ue();
    }
    r.ue();  // bit_depth_luma_minus8
    r.ue();  // bit_depth_chroma_minus8
    const uint32_t pocLsbBits = r.count(12) + 4;
    const bool orderingForEach = r.flag();  // sps_sub_layer_ordering_info_present_flag
    for (uint32_t i = orderingForEach ? 0 : maxSubLayersMinus1; i <= maxSubLayersMinus1; ++i) {
        r.ue();  // sps_max_dec_pic_buffering_minus1
        r.ue();  // sps_max_num_reorder_pics
        r.ue();  // sps_max_latency_increase_plus1
    }
    for (int i = 0; i < 6; ++i) r.ue();  // block sizes and transform hierarchy depths
    if (r.flag() && r.flag()) {          // scaling_list_enabled_flag, data_present_flag
        skipHevcScalingListData(r);
    }
    r.skip(2);       // amp_enabled_flag, sample_adaptive_offset_enabled_flag
    if (r.flag()) {  // pcm_enabled_flag
        r.skip(8);   // pcm sample bit depths
        r.ue();      // log2_min_pcm_luma_coding_block_size_minus3
        r.ue();      // log2_diff_max_min_pcm_luma_coding_block_size
        r.skip(1);   // pcm_loop_filter_disabled_flag
    }
    const uint32_t sets = r.count(64);
    std::vector<uint32_t> deltaPocs;
    for (uint32_t i = 0; i < sets && !r.failed(); ++i) {
        deltaPocs.push_back(skipHevcShortTermRefPicSet(r, i, deltaPocs));
    }
    if (r.flag()) {  // long_term_ref_pics_present_flag
        const uint32_t longTerm = r.count(32);
        for (uint32_t i = 0; i < longTerm; ++i) r.skip(static_cast<int>(pocLsbBits) + 1);
    }
    r.skip(2);  // sps_temporal_mvp_enabled_flag, strong_intra_smoothing_enabled_flag
    if (r.failed() || !r.flag()) return {};  // vui_parameters_present_flag
    return readVui(r);
}

}  // namespace

StreamColour colourFromParameterSets(int32_t codec, const uint8_t* csd, size_t size) {
    if (!csd) return {};
    const bool hevc = codec == kCodecHevc;
    std::string sps = findSps(hevc, std::string_view(reinterpret_cast<const char*>(csd), size));
    if (sps.empty()) return {};
    BitReader r(std::move(sps));
    return hevc ? readHevc(r) : readH264(r);
}

}  // namespace tov
