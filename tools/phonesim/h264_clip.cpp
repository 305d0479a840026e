#include "tools/phonesim/h264_clip.h"

namespace tov::phonesim {
namespace {

constexpr int kNalSlice = 1;
constexpr int kNalIdr = 5;
constexpr int kNalSei = 6;
constexpr int kNalSps = 7;
constexpr int kNalPps = 8;
constexpr int kNalDelimiter = 9;

const std::string kStartCode("\0\0\0\1", 4);

int nalType(const std::string& nal) {
    return nal.empty() ? 0 : (nal[0] & 0x1f);
}

// Exp-Golomb reader over the RBSP (emulation prevention bytes removed).
class BitReader {
  public:
    explicit BitReader(std::string rbsp) : data_(std::move(rbsp)) {}
    bool failed() const { return failed_; }
    uint32_t bit() {
        if (pos_ >= data_.size() * 8) {
            failed_ = true;
            return 0;
        }
        const uint32_t b = (static_cast<uint8_t>(data_[pos_ / 8]) >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }
    uint32_t bits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 1) | bit();
        return v;
    }
    uint32_t ue() {
        int zeros = 0;
        while (bit() == 0 && !failed_) {
            if (++zeros > 31) {
                failed_ = true;
                return 0;
            }
        }
        return ((1u << zeros) - 1) + bits(zeros);
    }
    int32_t se() {
        const uint32_t v = ue();
        return (v & 1) ? static_cast<int32_t>((v + 1) / 2) : -static_cast<int32_t>(v / 2);
    }

  private:
    std::string data_;
    size_t pos_ = 0;
    bool failed_ = false;
};

std::string toRbsp(const std::string& nal) {
    std::string out;
    int zeros = 0;
    for (size_t i = 1; i < nal.size(); ++i) {
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

void skipScalingList(BitReader& r, int size) {
    int last = 8, next = 8;
    for (int j = 0; j < size; ++j) {
        if (next != 0) next = (last + r.se() + 256) % 256;
        last = (next == 0) ? last : next;
    }
}

// A slice whose first_mb_in_slice is 0 begins a new picture.
bool beginsPicture(const std::string& nal) {
    return nal.size() >= 2 && (static_cast<uint8_t>(nal[1]) & 0x80) != 0;
}

}  // namespace

size_t H264Clip::nextKey(size_t from) const {
    for (size_t n = 0; n < units.size(); ++n) {
        const size_t i = (from + n) % units.size();
        if (units[i].key) return i;
    }
    return 0;
}

std::vector<std::string> splitNalUnits(const std::string& stream) {
    std::vector<std::string> nals;
    size_t i = 0;
    size_t start = std::string::npos;
    while (i + 3 <= stream.size()) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            if (start != std::string::npos) {
                size_t end = i;
                while (end > start && stream[end - 1] == 0) --end;  // trailing zero bytes
                nals.push_back(stream.substr(start, end - start));
            }
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    if (start != std::string::npos && start < stream.size()) nals.push_back(stream.substr(start));
    return nals;
}

bool readSpsSize(const std::string& sps, int& width, int& height) {
    if (nalType(sps) != kNalSps) return false;
    BitReader r(toRbsp(sps));
    const uint32_t profile = r.bits(8);
    r.bits(16);  // constraint flags, level
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
    uint32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    if (r.bit()) {
        cropLeft = r.ue();
        cropRight = r.ue();
        cropTop = r.ue();
        cropBottom = r.ue();
    }
    if (r.failed() || mbWidth > 1024 || mapHeight > 1024) return false;
    const uint32_t cropUnitX = (chromaFormat == 1 || chromaFormat == 2) ? 2 : 1;
    const uint32_t cropUnitY = (chromaFormat == 1 ? 2 : 1) * (2 - frameMbsOnly);
    const int64_t w = int64_t{mbWidth} * 16 - int64_t{cropUnitX} * (cropLeft + cropRight);
    const int64_t h =
        int64_t{mapHeight} * 16 * (2 - frameMbsOnly) - int64_t{cropUnitY} * (cropTop + cropBottom);
    if (w <= 0 || h <= 0) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool parseH264Clip(const std::string& stream, H264Clip& clip, std::string& error) {
    clip = H264Clip{};
    std::string sps, pps;
    AccessUnit current;
    bool currentHasPicture = false;
    auto finish = [&] {
        if (currentHasPicture) clip.units.push_back(std::move(current));
        current = AccessUnit{};
        currentHasPicture = false;
    };
    for (const std::string& nal : splitNalUnits(stream)) {
        const int type = nalType(nal);
        const bool picture = type == kNalSlice || type == kNalIdr;
        // A delimiter, parameter set or SEI after a picture, or a picture's first slice, opens
        // the next access unit.
        if (currentHasPicture && (type == kNalDelimiter || type == kNalSps || type == kNalPps ||
                                  type == kNalSei || (picture && beginsPicture(nal)))) {
            finish();
        }
        if (type == kNalSps) {
            if (sps.empty()) sps = nal;
            continue;
        }
        if (type == kNalPps) {
            if (pps.empty()) pps = nal;
            continue;
        }
        if (type == kNalDelimiter) continue;
        current.bytes += kStartCode + nal;
        if (picture) currentHasPicture = true;
        if (type == kNalIdr) current.key = true;
    }
    finish();
    if (sps.empty() || pps.empty()) {
        error = "no parameter sets in the clip";
        return false;
    }
    if (!readSpsSize(sps, clip.width, clip.height)) {
        error = "unreadable SPS in the clip";
        return false;
    }
    bool anyKey = false;
    for (const AccessUnit& u : clip.units) anyKey = anyKey || u.key;
    if (!anyKey) {
        error = "no key picture in the clip";
        return false;
    }
    clip.config = kStartCode + sps + kStartCode + pps;
    return true;
}

}  // namespace tov::phonesim
