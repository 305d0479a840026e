#include "video/frame_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "core/log.h"

namespace tov {
namespace {

std::string format(const char* fmt, ...) TOV_PRINTF_FORMAT(1, 2);

std::string format(const char* fmt, ...) {
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    if (n < 0) return {};
    return std::string(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1));
}

}  // namespace

std::string statisticsLine(const IntervalReport& r, const std::string& stream) {
    return format(
        "%s: rx %d, decoded %d, shown %d, waiting-for-key %d, blt-fail %d (0x%08lx), queue "
        "%zu"
        " | phone->PC %.1f ms, decode %.1f ms, total %d ms | %dx%d frame %ux%u back %ux%u",
        logTag("video", stream).c_str(), r.rx, r.decoded, r.shown, r.waitingForKey, r.bltFailures,
        static_cast<unsigned long>(r.lastBltResult), r.queueLength, r.phoneToPcMs, r.decodeMs,
        r.latencyMs, r.streamWidth, r.streamHeight, static_cast<unsigned>(r.frameWidth),
        static_cast<unsigned>(r.frameHeight), static_cast<unsigned>(r.backWidth),
        static_cast<unsigned>(r.backHeight));
}

int GapSeries::shorterThan(double ms) const {
    return static_cast<int>(
        std::count_if(values.begin(), values.end(), [ms](double v) { return v < ms; }));
}

GapSeries gapSeries(const std::vector<int64_t>& timesMicros) {
    GapSeries s;
    if (timesMicros.size() < 2) return s;
    double sum = 0.0;
    double squares = 0.0;
    double max = 0.0;
    for (size_t i = 1; i < timesMicros.size(); ++i) {
        const double gap = static_cast<double>(timesMicros[i] - timesMicros[i - 1]) / 1000.0;
        s.values.push_back(gap);
        sum += gap;
        squares += gap * gap;
        max = i == 1 ? gap : std::max(max, gap);
    }
    s.gaps = s.values.size();
    s.mean = sum / static_cast<double>(s.gaps);
    s.sd = std::sqrt(std::max(0.0, squares / static_cast<double>(s.gaps) - s.mean * s.mean));
    s.max = max;
    return s;
}

std::string timingLine(const std::vector<FrameRecord>& records, double expectMs, double refreshHz,
                       const std::string& stream) {
    if (records.size() < 2) return {};
    std::vector<int64_t> captured;
    std::vector<int64_t> arrived;
    std::vector<int64_t> shown;
    bool anyTrip = false;
    int64_t tripMin = 0;
    int64_t tripMax = 0;
    for (const FrameRecord& r : records) {
        captured.push_back(r.pts);
        arrived.push_back(r.arrived);
        if (r.shown != 0) shown.push_back(r.shown);
        if (r.captured != 0) {
            const int64_t trip = r.arrived - r.captured;
            tripMin = anyTrip ? std::min(tripMin, trip) : trip;
            tripMax = anyTrip ? std::max(tripMax, trip) : trip;
            anyTrip = true;
        }
    }
    const GapSeries capture = gapSeries(captured);
    const GapSeries arrive = gapSeries(arrived);
    const GapSeries show = gapSeries(shown);
    const double tripSpread = anyTrip ? static_cast<double>(tripMax - tripMin) / 1000.0 : -1.0;
    return format(
        "%s: expect %.1f | capture gap %.1f sd %.1f max %.1f | arrive gap %.1f sd %.1f max "
        "%.1f, bunched %d | shown %zu of %zu, gap %.1f sd %.1f max %.1f | trip spread %.1f ms | "
        "monitor %.0f Hz",
        logTag("timing", stream).c_str(), expectMs, capture.mean, capture.sd, capture.max,
        arrive.mean, arrive.sd, arrive.max, arrive.shorterThan(0.25 * expectMs), shown.size(),
        records.size(), show.mean, show.sd, show.max, tripSpread, refreshHz);
}

}  // namespace tov
