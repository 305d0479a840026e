#include "tools/phonesim/video_clip.h"

#include "core/annex_b.h"
#include "tools/phonesim/sps_size.h"

namespace tov::phonesim {
namespace {

const std::string kStartCode("\0\0\0\1", 4);

// What one NAL unit is, in terms that do not depend on the codec.
enum class NalRole { Picture, ParameterSet, Delimiter, Prefix, Other };

struct NalInfo {
    NalRole role = NalRole::Other;
    int setIndex = -1;        // parameter sets: position in the configuration
    bool key = false;         // a picture a decoder can start from
    bool firstSlice = false;  // a picture's first slice opens a new access unit
};

NalInfo describeH264(std::string_view nal) {
    NalInfo info;
    const int type = nalType(/*hevc=*/false, nal);
    if (type == 1 || type == 5) {
        info.role = NalRole::Picture;
        info.key = type == 5;
        // first_mb_in_slice is Exp-Golomb: 0 is the single bit 1.
        info.firstSlice = nal.size() >= 2 && (static_cast<uint8_t>(nal[1]) & 0x80) != 0;
    } else if (type == 7 || type == 8) {
        info.role = NalRole::ParameterSet;
        info.setIndex = type - 7;
    } else if (type == 9) {
        info.role = NalRole::Delimiter;
    } else if (type == 6) {
        info.role = NalRole::Prefix;
    }
    return info;
}

NalInfo describeHevc(std::string_view nal) {
    NalInfo info;
    if (nal.size() < 2) return info;
    const int type = nalType(/*hevc=*/true, nal);
    if (type <= 31) {
        info.role = NalRole::Picture;
        info.key = type >= 16 && type <= 23;
        // first_slice_segment_in_pic_flag follows the two header bytes.
        info.firstSlice = nal.size() >= 3 && (static_cast<uint8_t>(nal[2]) & 0x80) != 0;
    } else if (type >= 32 && type <= 34) {
        info.role = NalRole::ParameterSet;
        info.setIndex = type - 32;
    } else if (type == 35) {
        info.role = NalRole::Delimiter;
    } else if (type == 39) {
        info.role = NalRole::Prefix;
    }
    return info;
}

}  // namespace

size_t VideoClip::nextKey(size_t from) const {
    for (size_t n = 0; n < units.size(); ++n) {
        const size_t i = (from + n) % units.size();
        if (units[i].key) return i;
    }
    return 0;
}

bool parseVideoClip(const std::string& stream, VideoCodec codec, VideoClip& clip,
                    std::string& error) {
    clip = VideoClip{};
    clip.codec = codec;
    const bool hevc = codec == VideoCodec::Hevc;
    std::vector<std::string> sets(hevc ? 3 : 2);
    AccessUnit current;
    bool currentHasPicture = false;
    auto finish = [&] {
        if (currentHasPicture) clip.units.push_back(std::move(current));
        current = AccessUnit{};
        currentHasPicture = false;
    };
    for (std::string_view nal : splitAnnexB(stream)) {
        const NalInfo info = hevc ? describeHevc(nal) : describeH264(nal);
        // After a picture, anything that may only come first opens the next access unit.
        if (currentHasPicture &&
            (info.role == NalRole::Delimiter || info.role == NalRole::ParameterSet ||
             info.role == NalRole::Prefix || (info.role == NalRole::Picture && info.firstSlice))) {
            finish();
        }
        if (info.role == NalRole::ParameterSet) {
            if (sets[static_cast<size_t>(info.setIndex)].empty()) {
                sets[static_cast<size_t>(info.setIndex)] = std::string(nal);
            }
            continue;
        }
        if (info.role == NalRole::Delimiter) continue;
        current.bytes += kStartCode;
        current.bytes += nal;
        if (info.role == NalRole::Picture) currentHasPicture = true;
        if (info.key) current.key = true;
    }
    finish();
    for (const std::string& set : sets) {
        if (set.empty()) {
            error = "no parameter sets in the clip";
            return false;
        }
        clip.config += kStartCode + set;
    }
    const std::string& sps = sets[hevc ? 1 : 0];
    if (!(hevc ? readHevcSpsSize(sps, clip.width, clip.height)
               : readH264SpsSize(sps, clip.width, clip.height))) {
        error = "unreadable SPS in the clip";
        return false;
    }
    bool anyKey = false;
    for (const AccessUnit& u : clip.units) anyKey = anyKey || u.key;
    if (!anyKey) {
        error = "no key picture in the clip";
        return false;
    }
    return true;
}

}  // namespace tov::phonesim
