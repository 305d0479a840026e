// The once-a-second summaries of the video path: the statistics line and the timing line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "video/video_item.h"

namespace tov {

// A running sum of durations in microseconds.
struct DurationSum {
    int64_t sum = 0;
    int64_t count = 0;
    void add(int64_t micros) {
        sum += micros;
        ++count;
    }
    // Mean in milliseconds, -1.0 when nothing was added.
    double meanMs() const { return count ? static_cast<double>(sum) / count / 1000.0 : -1.0; }
    // Mean in whole milliseconds (truncated), -1 when nothing was added.
    int truncatedMeanMs() const { return count ? static_cast<int>(sum / count / 1000) : -1; }
};

// Everything the statistics line shows, in its order.
struct IntervalReport {
    int rx = 0;
    int decoded = 0;
    int shown = 0;
    int waitingForKey = 0;
    int bltFailures = 0;
    uint32_t lastBltResult = 0;
    size_t queueLength = 0;
    double phoneToPcMs = -1.0;
    double decodeMs = -1.0;
    int latencyMs = -1;
    int streamWidth = 0;
    int streamHeight = 0;
    uint32_t frameWidth = 0;
    uint32_t frameHeight = 0;
    uint32_t backWidth = 0;
    uint32_t backHeight = 0;
};

// `stream` names the stream when several run at once ("video NAME: rx ..."); empty: "video: rx
// ...".
std::string statisticsLine(const IntervalReport& r, const std::string& stream = {});

// Gaps between consecutive times, in milliseconds. With no gap every figure is -1.
struct GapSeries {
    size_t gaps = 0;
    double mean = -1.0;
    double sd = -1.0;
    double max = -1.0;
    // Gaps shorter than this many milliseconds.
    int shorterThan(double ms) const;
    std::vector<double> values;
};
GapSeries gapSeries(const std::vector<int64_t>& timesMicros);

// The timing line over one interval's records, or empty when there are fewer than two.
// expectMs is 1000 / fps; refreshHz is the monitor's refresh rate (0 when unknown).
std::string timingLine(const std::vector<FrameRecord>& records, double expectMs, double refreshHz,
                       const std::string& stream = {});

}  // namespace tov
