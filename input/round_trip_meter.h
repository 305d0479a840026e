// Round trips of the pings, summed up every tenth pong for the log.
#pragma once

#include <cstdint>
#include <optional>

namespace tov {

struct RoundTripSummary {
    double averageMs = 0;
    int32_t maxMs = 0;
};

class RoundTripMeter {
  public:
    static constexpr int kSamplesPerLine = 10;
    // Adds one round trip; `rttMs` receives it in whole milliseconds (rounded). Every tenth
    // sample returns the summary and starts counting again.
    std::optional<RoundTripSummary> add(int64_t rttMicros, int32_t& rttMs);
    void reset();

  private:
    int64_t sumMicros_ = 0;
    int32_t count_ = 0;
    int32_t maxMs_ = 0;
};

}  // namespace tov
