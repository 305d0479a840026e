#include "core/annex_b.h"

#include <cstdint>

namespace tov {

std::vector<std::string_view> splitAnnexB(std::string_view stream) {
    std::vector<std::string_view> out;
    const size_t n = stream.size();
    size_t i = 0;
    size_t start = std::string_view::npos;
    while (i + 2 < n) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            if (start != std::string_view::npos) {
                size_t stop = i;
                // A four-byte start code's leading zero belongs to the code, not the unit.
                while (stop > start && stream[stop - 1] == 0) --stop;
                if (stop > start) out.push_back(stream.substr(start, stop - start));
            }
            i += 3;
            start = i;
            continue;
        }
        ++i;
    }
    if (start != std::string_view::npos && start < n) out.push_back(stream.substr(start));
    return out;
}

int nalType(bool hevc, std::string_view nal) {
    if (nal.empty()) return -1;
    const auto header = static_cast<uint8_t>(nal[0]);
    return hevc ? (header >> 1) & 0x3f : header & 0x1f;
}

std::string nalPayload(bool hevc, std::string_view nal) {
    const size_t headerBytes = hevc ? 2 : 1;
    std::string out;
    if (nal.size() <= headerBytes) return out;
    out.reserve(nal.size() - headerBytes);
    int zeros = 0;
    for (char c : nal.substr(headerBytes)) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.push_back(c);
    }
    return out;
}

}  // namespace tov
