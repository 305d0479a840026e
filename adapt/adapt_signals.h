// What the stream adapter looks at, once a second: how the link carries the stream (queue delay
// and its trend, receive rate) and how this PC keeps up with it (decode and present time against
// the frame interval, pictures dropped, backlogs thrown away).
#pragma once

#include <cstdint>

namespace tov {

struct AdaptSignals {
    // Length of the second these figures cover, in milliseconds.
    int64_t spanMs = 1000;

    // Link. Queue delay: arrival on the PC minus the phone's capture stamp (in PC time), minus
    // the smallest such figure of the last 10 s; what is left is time spent waiting in queues
    // (the phone's send buffer, Wi-Fi, adb), the part that grows when the link carries less than
    // is sent. Unknown until the pings have measured the phone's clock.
    bool delayKnown = false;
    double queueDelayMs = 0;
    // Its slope over the last few seconds, ms per second; positive while a queue builds.
    double delayTrendMsPerS = 0;
    // The largest gap between two arrivals in this second, in ms.
    double longestGapMs = 0;
    double receiveMbps = 0;  // video bytes that arrived this second

    // PC.
    int pictures = 0;       // video packets that arrived this second
    int fps = 0;            // the stream's frame rate (what the phone says it sends)
    double decodeMs = -1;   // mean decoder time per picture; -1 when none was decoded
    double presentMs = -1;  // mean present time per shown picture; -1 when none was shown
    int dropped = 0;        // pictures not shown this second
    int backlogResets = 0;  // backlogs thrown away this second

    // The PC's other streams (several phones at once): their decode and present as a share of
    // a second, 0 with one stream; and whether this stream is the one to step down when the PC
    // is over its limit (the costliest with a cheaper size left).
    double othersLoad = 0;
    bool givesWay = true;

    double frameIntervalMs() const { return fps > 0 ? 1000.0 / fps : 0.0; }
    // Decode plus present per picture as a share of the frame interval; -1 when unknown.
    double load() const {
        if (fps <= 0 || decodeMs < 0) return -1;
        return (decodeMs + (presentMs > 0 ? presentMs : 0)) / frameIntervalMs();
    }
    // Share of the pictures that arrived but were not shown.
    double dropShare() const {
        return pictures > 0 ? static_cast<double>(dropped) / pictures : 0.0;
    }
};

}  // namespace tov
