#include "adapt/signal_sampler.h"

#include <algorithm>

namespace tov {

double slopePerSecond(const std::deque<double>& samples) {
    const size_t n = samples.size();
    if (n < 2) return 0;
    double meanX = (static_cast<double>(n) - 1) / 2, meanY = 0;
    for (double y : samples) meanY += y;
    meanY /= static_cast<double>(n);
    double num = 0, den = 0;
    for (size_t i = 0; i < n; ++i) {
        const double dx = static_cast<double>(i) - meanX;
        num += dx * (samples[i] - meanY);
        den += dx * dx;
    }
    return num / den;
}

void SignalSampler::onPacket(int64_t arrivedUs, bool capturedKnown, int64_t capturedUs,
                             size_t bytes) {
    std::lock_guard lock(mutex_);
    Second& s = second_;
    ++s.pictures;
    s.bytes += bytes;
    if (lastArrivalUs_ != 0) s.longestGapUs = std::max(s.longestGapUs, arrivedUs - lastArrivalUs_);
    lastArrivalUs_ = arrivedUs;
    if (capturedKnown) {
        const double delayMs = static_cast<double>(arrivedUs - capturedUs) / 1000.0;
        s.minDelayMs = s.delays == 0 ? delayMs : std::min(s.minDelayMs, delayMs);
        s.delaySumMs += delayMs;
        ++s.delays;
    }
}

void SignalSampler::restart(int64_t nowUs) {
    {
        std::lock_guard lock(mutex_);
        second_ = {};
        lastArrivalUs_ = 0;
    }
    lastSampleUs_ = nowUs;
    haveTotals_ = false;
    minima_.clear();
    queueDelays_.clear();
}

AdaptSignals SignalSampler::sample(int64_t nowUs, const VideoTotals& video, int fps) {
    Second s;
    int64_t lastArrival;
    {
        std::lock_guard lock(mutex_);
        s = second_;
        second_ = {};
        lastArrival = lastArrivalUs_;
    }
    AdaptSignals out;
    const int64_t spanUs = lastSampleUs_ != 0 && nowUs > lastSampleUs_ ? nowUs - lastSampleUs_
                                                                        : 1000000;
    lastSampleUs_ = nowUs;
    out.spanMs = spanUs / 1000;
    out.fps = fps;
    out.pictures = s.pictures;
    out.receiveMbps = static_cast<double>(s.bytes) * 8.0 / static_cast<double>(spanUs);
    // A stream that stopped arriving shows as one long gap reaching up to now.
    int64_t gap = s.longestGapUs;
    if (lastArrival != 0) gap = std::max(gap, nowUs - lastArrival);
    out.longestGapMs = static_cast<double>(gap) / 1000.0;

    if (s.delays > 0) {
        minima_.emplace_back(nowUs, s.minDelayMs);
        while (!minima_.empty() && minima_.front().first <= nowUs - kBaseWindowMicros) {
            minima_.pop_front();
        }
        double base = s.minDelayMs;
        for (const auto& m : minima_) base = std::min(base, m.second);
        out.delayKnown = true;
        out.queueDelayMs = s.delaySumMs / s.delays - base;
        queueDelays_.push_back(out.queueDelayMs);
        while (queueDelays_.size() > kTrendSeconds) queueDelays_.pop_front();
        out.delayTrendMsPerS = slopePerSecond(queueDelays_);
    }

    if (haveTotals_) {
        const int64_t decoded = video.decodedPictures - lastTotals_.decodedPictures;
        const int64_t presented = video.presentedPictures - lastTotals_.presentedPictures;
        if (decoded > 0) {
            out.decodeMs = static_cast<double>(video.decodeMicros - lastTotals_.decodeMicros) /
                           static_cast<double>(decoded) / 1000.0;
        }
        if (presented > 0) {
            out.presentMs = static_cast<double>(video.presentMicros - lastTotals_.presentMicros) /
                            static_cast<double>(presented) / 1000.0;
        }
        // A new stream set the count back: all of it is this second's.
        const int64_t dropped = video.dropped >= lastTotals_.dropped
                                    ? video.dropped - lastTotals_.dropped
                                    : video.dropped;
        out.dropped = static_cast<int>(dropped);
        out.backlogResets =
            static_cast<int>(std::max<int64_t>(0, video.backlogResets - lastTotals_.backlogResets));
    }
    lastTotals_ = video;
    haveTotals_ = true;
    return out;
}

}  // namespace tov
