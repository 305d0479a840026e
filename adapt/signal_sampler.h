// Gathers the stream adapter's signals: every video packet as it arrives (stream thread), and once
// a second the video pipeline's running totals (tick thread), into one AdaptSignals per second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "adapt/adapt_signals.h"

namespace tov {

// Running totals of the video pipeline since it started; they only grow, except `dropped`, which
// a new stream sets back to 0.
struct VideoTotals {
    int64_t decodedPictures = 0;
    int64_t decodeMicros = 0;
    int64_t presentedPictures = 0;
    int64_t presentMicros = 0;
    int64_t dropped = 0;
    int64_t backlogResets = 0;
};

class SignalSampler {
  public:
    // How far back the smallest one-way delay is looked for: long enough to span a queue that
    // builds and drains, short enough to follow a clock offset that was measured again (the pings
    // keep refining it) or a route that changed (USB to Wi-Fi).
    static constexpr int64_t kBaseWindowMicros = 10000000;
    // Seconds the delay trend is fitted over: two would follow one burst; five would see a queue
    // start to build only after it had cost a second more.
    static constexpr size_t kTrendSeconds = 4;

    // Stream thread: a video packet arrived at `arrivedUs` (PC clock); `capturedUs` is its capture
    // stamp in PC time when the clock offset is known.
    void onPacket(int64_t arrivedUs, bool capturedKnown, int64_t capturedUs, size_t bytes);
    // Tick thread: the figures since the last sample (or the restart).
    AdaptSignals sample(int64_t nowUs, const VideoTotals& video, int fps);
    // A new stream: the history belongs to the old one.
    void restart(int64_t nowUs);

  private:
    struct Second {
        int pictures = 0;
        uint64_t bytes = 0;
        double delaySumMs = 0;
        int delays = 0;
        double minDelayMs = 0;
        int64_t lastArrivalUs = 0;
        int64_t longestGapUs = 0;
    };

    std::mutex mutex_;
    Second second_;            // guarded by mutex_
    int64_t lastArrivalUs_ = 0;  // guarded by mutex_
    // Tick thread only.
    int64_t lastSampleUs_ = 0;
    bool haveTotals_ = false;
    VideoTotals lastTotals_;
    std::deque<std::pair<int64_t, double>> minima_;  // (second's end, its smallest delay)
    std::deque<double> queueDelays_;                 // the last seconds' queue delay
};

// Least-squares slope of evenly spaced samples one second apart; 0 with fewer than two.
double slopePerSecond(const std::deque<double>& samples);

}  // namespace tov
