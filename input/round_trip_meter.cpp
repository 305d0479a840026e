#include "input/round_trip_meter.h"

#include <algorithm>

namespace tov {

std::optional<RoundTripSummary> RoundTripMeter::add(int64_t rttMicros, int32_t& rttMs) {
    rttMs = static_cast<int32_t>((rttMicros + 500) / 1000);
    sumMicros_ += rttMicros;
    maxMs_ = std::max(maxMs_, rttMs);
    ++count_;
    if (count_ < kSamplesPerLine) return std::nullopt;
    RoundTripSummary summary{static_cast<double>(sumMicros_) / 1000.0 / count_, maxMs_};
    reset();
    return summary;
}

void RoundTripMeter::reset() {
    sumMicros_ = 0;
    count_ = 0;
    maxMs_ = 0;
}

}  // namespace tov
