// The one line the Quality page shows about the stream adapter: what it sends now and why.
#pragma once

#include <cstdint>
#include <string>

#include "adapt/size_ladder.h"

namespace tov {

struct AdaptReport {
    AdaptRung sent;           // the rung sent now
    int64_t bitrate = 0;      // the bitrate sent now
    int64_t ceiling = 0;      // the user's bitrate
    bool atTop = true;        // rung 0 at the user's bitrate
    // Why it is lower: the rung above it and what this PC managed there (pictures a second, 0
    // when no step down was measured), and what the link carried at the last cut (0: none).
    AdaptRung above;
    double pcPictures = 0;
    double linkMbps = 0;
    bool wifi = false;
};

// "Sending 720×1600 at 30 fps, 9 Mbps: this PC decodes 1080×2400 at 24 pictures a second." and
// the like (UTF-8).
std::string adaptLine(const AdaptReport& r);

// "9", "4.5": whole Mbit/s from 10 up, one decimal below.
std::string mbpsFigure(double mbps);

}  // namespace tov
