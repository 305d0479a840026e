#include "adapt/adapt_text.h"

#include <cmath>
#include <cstdio>

namespace tov {
namespace {

std::string sizeText(const AdaptRung& r) {
    return std::to_string(r.width) + "\u00d7" + std::to_string(r.height);
}

std::string what(const AdaptRung& r, int64_t bitrate) {
    const std::string rate = mbpsFigure(static_cast<double>(bitrate) / 1e6) + " Mbps";
    if (r.width <= 0 || r.height <= 0) return rate;
    return sizeText(r) + " at " + std::to_string(r.fps) + " fps, " + rate;
}

}  // namespace

std::string mbpsFigure(double mbps) {
    char buf[32];
    if (mbps >= 10) {
        std::snprintf(buf, sizeof buf, "%.0f", std::round(mbps));
    } else {
        std::snprintf(buf, sizeof buf, "%.1f", mbps);
    }
    return buf;
}

std::string adaptLine(const AdaptReport& r) {
    if (r.atTop) return "Sending what you chose: " + what(r.sent, r.bitrate) + ".";
    std::string why;
    if (r.pcPictures > 0 && r.above.width > 0) {
        why = "this PC decodes " + sizeText(r.above) + " at " +
              std::to_string(static_cast<int>(std::lround(r.pcPictures))) + " pictures a second";
    }
    if (r.linkMbps > 0 && r.bitrate < r.ceiling) {
        if (!why.empty()) why += ", and ";
        why += std::string(r.wifi ? "the Wi-Fi" : "the cable") + " carries " +
               mbpsFigure(r.linkMbps) + " Mbps now";
    }
    if (why.empty()) why = "finding out how much more there is room for";
    return "Sending " + what(r.sent, r.bitrate) + ": " + why + ".";
}

}  // namespace tov
