#include "video/tests/annexb_units.h"

#include "platform/text.h"

namespace tov::test {
namespace {

struct Nal {
    size_t start;    // the start code
    size_t payload;  // the header byte
    size_t end;
};

std::vector<Nal> findNals(const std::string& s) {
    std::vector<Nal> nals;
    size_t i = 0;
    const size_t n = s.size();
    auto startCodeAt = [&](size_t at, size_t* len) {
        if (at + 3 <= n && s[at] == 0 && s[at + 1] == 0 && s[at + 2] == 1) {
            *len = 3;
            return true;
        }
        if (at + 4 <= n && s[at] == 0 && s[at + 1] == 0 && s[at + 2] == 0 && s[at + 3] == 1) {
            *len = 4;
            return true;
        }
        return false;
    };
    while (i < n) {
        size_t len = 0;
        if (startCodeAt(i, &len)) {
            if (!nals.empty()) nals.back().end = i;
            nals.push_back({i, i + len, n});
            i += len;
        } else {
            ++i;
        }
    }
    return nals;
}

}  // namespace

SplitStream splitH264(const std::string& stream, bool stripParameterSets) {
    SplitStream out;
    bool unitHasSlice = false;
    bool csdTaken = false;
    for (const Nal& nal : findNals(stream)) {
        if (nal.payload >= nal.end) continue;
        const auto header = static_cast<uint8_t>(stream[nal.payload]);
        const int type = header & 0x1F;
        const bool slice = type == 1 || type == 5;
        // first_mb_in_slice is 0 (Exp-Golomb "1") on the first slice of a picture.
        const bool firstSlice = slice && nal.payload + 1 < nal.end &&
                                (static_cast<uint8_t>(stream[nal.payload + 1]) & 0x80);
        const bool startsUnit =
            out.units.empty() ||
            (unitHasSlice && (type == 9 || type == 7 || type == 8 || type == 6 || firstSlice));
        if (startsUnit) {
            out.units.emplace_back();
            unitHasSlice = false;
        }
        AccessUnit& unit = out.units.back();
        const bool parameterSet = type == 7 || type == 8;
        if (parameterSet && !csdTaken) {
            out.csd.insert(out.csd.end(), stream.begin() + nal.start, stream.begin() + nal.end);
        }
        if (slice) {
            unitHasSlice = true;
            if (!out.csd.empty()) csdTaken = true;
        }
        if (type == 5) unit.key = true;
        if (parameterSet && stripParameterSets) continue;
        unit.bytes.insert(unit.bytes.end(), stream.begin() + nal.start, stream.begin() + nal.end);
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
