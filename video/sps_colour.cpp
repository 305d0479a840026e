#include "video/sps_colour.h"

#include <algorithm>
#include <vector>

namespace tov {
namespace {

constexpr int32_t kCodecHevc = 1;
constexpr int kH264Sps = 7;
constexpr int kHevcSps = 33;

// Reads fixed-width fields and Exp-Golomb numbers from a NAL unit's payload. Reading past the
// end, or a number no valid stream has, sets failed() and yields zeros.
class BitReader {
  public:
    explicit BitReader(std::vector<uint8_t> rbsp) : data_(std::move(rbsp)) {}
    bool failed() const { return failed_; }

    uint32_t bits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 1) | bit();
        return v;
    }
    void skip(int n) {
        for (int i = 0; i < n; ++i) bit();
    }
    bool flag() { return bit() != 0; }
    uint32_t ue() {
        int zeros = 0;
        while (!failed_ && bit() == 0) {
            if (++zeros > 31) failed_ = true;
        }
        return failed_ ? 0 : ((1u << zeros) - 1) + bits(zeros);
    }
    void se() { ue(); }
    // An Exp-Golomb count that must not exceed `limit` (a loop bound taken from the stream).
    uint32_t count(uint32_t limit) {
        const uint32_t v = ue();
        if (v > limit) failed_ = true;
        return failed_ ? 0 : v;
    }

  private:
    uint32_t bit() {
        if (pos_ >= data_.size() * 8) {
            failed_ = true;
            return 0;
        }
        const uint32_t b = (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1u;
        ++pos_;
        return b;
    }

    std::vector<uint8_t> data_;
    size_t pos_ = 0;
    bool failed_ = false;
};

// The first NAL unit of `type` in an Annex-B stream, after its header bytes, with the
// emulation-prevention bytes (a 3 after two zeros) taken out.
std::vector<uint8_t> findPayload(int32_t codec, const uint8_t* data, size_t size, int type) {
    const size_t headerBytes = codec == kCodecHevc ? 2 : 1;
    size_t i = 0;
    while (i + 3 <= size) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) {
            ++i;
            continue;
        }
        const size_t start = i + 3;
        size_t end = start;
        while (end + 3 <= size && !(data[end] == 0 && data[end + 1] == 0 && data[end + 2] <= 1)) {
            ++end;
        }
        if (end + 3 > size) end = size;
        i = end;
        if (end - start <= headerBytes) continue;
        const int nalType = codec == kCodecHevc ? (data[start] >> 1) & 0x3f : data[start] & 0x1f;
        if (nalType != type) continue;
        std::vector<uint8_t> rbsp;
        int zeros = 0;
        for (size_t k = start + headerBytes; k < end; ++k) {
            if (zeros >= 2 && data[k] == 3) {
                zeros = 0;
                continue;
            }
            zeros = data[k] == 0 ? zeros + 1 : 0;
            rbsp.push_back(data[k]);
        }
        return rbsp;
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

void skipH264ScalingList(BitReader& r, int size) {
    int last = 8;
    int next = 8;
    for (int j = 0; j < size && !r.failed(); ++j) {
        if (next != 0) {
            const uint32_t v = r.ue();
            const int delta = (v & 1) ? static_cast<int>((v + 1) / 2) : -static_cast<int>(v / 2);
            next = (last + delta + 256) % 256;
        }
        if (next != 0) last = next;
    }
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

void skipHevcProfileTierLevel(BitReader& r, uint32_t maxSubLayersMinus1) {
    r.skip(88);  // general profile space, tier, idc, compatibility and constraint flags
    r.skip(8);   // general_level_idc
    bool profilePresent[8] = {};
    bool levelPresent[8] = {};
    for (uint32_t i = 0; i < maxSubLayersMinus1; ++i) {
        profilePresent[i] = r.flag();
        levelPresent[i] = r.flag();
    }
    if (maxSubLayersMinus1 > 0) r.skip(2 * static_cast<int>(8 - maxSubLayersMinus1));
    for (uint32_t i = 0; i < maxSubLayersMinus1; ++i) {
        if (profilePresent[i]) r.skip(88);
        if (levelPresent[i]) r.skip(8);
    }
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
    std::vector<uint8_t> sps = findPayload(codec, csd, size, hevc ? kHevcSps : kH264Sps);
    if (sps.empty()) return {};
    BitReader r(std::move(sps));
    return hevc ? readHevc(r) : readH264(r);
}

}  // namespace tov
