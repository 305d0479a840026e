#include "video/tests/annexb_units.h"

#include <cstddef>
#include <string_view>

#include "core/annex_b.h"
#include "platform/text.h"

namespace tov::test {

SplitStream splitH264(const std::string& stream, bool stripParameterSets) {
    SplitStream out;
    bool unitHasSlice = false;
    bool csdTaken = false;
    const std::vector<std::string_view> nals = splitAnnexB(stream);
    // Each NAL unit's bytes run from its start code (four bytes where a zero leads it) to the
    // next one's: trailing zeros stay with the unit they follow.
    auto codeAt = [&](size_t k) {
        if (k == nals.size()) return stream.size();
        const size_t at = static_cast<size_t>(nals[k].data() - stream.data()) - 3;
        return at > 0 && stream[at - 1] == 0 ? at - 1 : at;
    };
    for (size_t k = 0; k < nals.size(); ++k) {
        const std::string_view nal = nals[k];
        const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(codeAt(k));
        const auto end = stream.begin() + static_cast<std::ptrdiff_t>(codeAt(k + 1));
        const int type = nalType(/*hevc=*/false, nal);
        const bool slice = type == 1 || type == 5;
        // first_mb_in_slice is 0 (Exp-Golomb "1") on the first slice of a picture.
        const bool firstSlice = slice && nal.size() > 1 && (static_cast<uint8_t>(nal[1]) & 0x80);
        const bool startsUnit =
            out.units.empty() ||
            (unitHasSlice && (type == 9 || type == 7 || type == 8 || type == 6 || firstSlice));
        if (startsUnit) {
            out.units.emplace_back();
            unitHasSlice = false;
        }
        AccessUnit& unit = out.units.back();
        const bool parameterSet = type == 7 || type == 8;
        if (parameterSet && !csdTaken) out.csd.insert(out.csd.end(), begin, end);
        if (slice) {
            unitHasSlice = true;
            if (!out.csd.empty()) csdTaken = true;
        }
        if (type == 5) unit.key = true;
        if (parameterSet && stripParameterSets) continue;
        unit.bytes.insert(unit.bytes.end(), begin, end);
    }
    return out;
}

std::wstring sourceFile(const char* relative) {
    std::string path = std::string(TOV_SOURCE_DIR) + "/" + relative;
#ifdef _WIN32
    // The source tree is a Unix path; Wine shows the Unix root as drive Z.
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
#endif
    return widen(path);
}

}  // namespace tov::test
