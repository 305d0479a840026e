#include "adapt/adapt_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tov {
namespace {

std::string mbpsText(int64_t bitrate) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(bitrate) / 1e6);
    return buf;
}

std::string signalsText(const AdaptSignals& s) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "queue %.0f ms%s, trend %+.0f ms/s, gap %.0f ms, received %.1f Mbps, %d "
                  "pictures at %d fps, decode %.1f ms, present %.1f ms, dropped %d, backlogs %d",
                  s.queueDelayMs, s.delayKnown ? "" : " (unknown)", s.delayTrendMsPerS,
                  s.longestGapMs, s.receiveMbps, s.pictures, s.fps, s.decodeMs, s.presentMs,
                  s.dropped, s.backlogResets);
    return buf;
}

}  // namespace

const char* causeText(AdaptDecision::Cause cause) {
    switch (cause) {
        case AdaptDecision::Cause::Congestion:
            return "the queue delay rose";
        case AdaptDecision::Cause::DeepDelay:
            return "the queue delay is large";
        case AdaptDecision::Cause::Stall:
            return "the stream stalled";
        case AdaptDecision::Cause::Probe:
            return "probing for room";
        case AdaptDecision::Cause::Decoder:
            return "decode and present take too long";
        case AdaptDecision::Cause::Drops:
            return "too many pictures dropped";
        case AdaptDecision::Cause::Quiet:
            return "this PC has room again";
        case AdaptDecision::Cause::None:
            break;
    }
    return "";
}

AdaptController::AdaptController(AdaptConfig config) : c_(config) {}

void AdaptController::start(int64_t nowMs, int64_t ceiling, std::vector<double> rungCosts,
                            AdaptLevel from) {
    ceiling_ = std::max<int64_t>(ceiling, 1);
    costs_ = rungCosts.empty() ? std::vector<double>{1.0} : std::move(rungCosts);
    level_.bitrate = from.bitrate > 0 ? std::min(from.bitrate, ceiling_) : ceiling_;
    level_.rung = std::clamp(from.rung, 0, rungCount() - 1);
    lastChangeMs_ = nowMs;
    overuseCount_ = 0;
    lastCutMs_ = -1;
    lastBitrateMs_ = nowMs;
    cutRateMbps_ = 0;
    pastCutWaitMs_ = c_.pastCutWaitMs;
    probeWaitMs_ = c_.probeGapMs;
    probingPast_ = false;
    loadedCount_ = 0;
    quietMs_ = 0;
    lastRungMs_ = -1;
    lastRungUp_ = false;
    upWaitMs_ = c_.upWaitMs;
    pcPictures_ = 0;
}

bool AdaptController::setCeiling(int64_t ceiling, std::vector<double> rungCosts) {
    ceiling_ = std::max<int64_t>(ceiling, 1);
    if (!rungCosts.empty()) costs_ = std::move(rungCosts);
    const AdaptLevel before = level_;
    level_.bitrate = std::min(level_.bitrate, ceiling_);
    level_.rung = std::clamp(level_.rung, 0, rungCount() - 1);
    return !(before == level_);
}

bool AdaptController::isStill(const AdaptSignals& s) const {
    if (s.delayKnown && s.queueDelayMs > c_.overuseDelayMs) return false;
    return s.fps > 0 && s.pictures < c_.stillShare * s.fps;
}

bool AdaptController::linkBusy(const AdaptSignals& s) const {
    return s.delayKnown && s.queueDelayMs > c_.overuseDelayMs;
}

AdaptDecision AdaptController::step(int64_t nowMs, const AdaptSignals& s) {
    AdaptDecision d;
    bitrateLoop(nowMs, s, d);
    sizeLoop(nowMs, s, d);
    d.level = level_;
    if (d.changed()) {
        lastChangeMs_ = nowMs;
        d.why += "; " + signalsText(s);
    }
    return d;
}

void AdaptController::cutTo(int64_t nowMs, int64_t target, AdaptDecision::Cause cause,
                            double receivedMbps, AdaptDecision& d) {
    target = std::clamp(target, std::min(c_.minBitrate, ceiling_), ceiling_);
    // A cut that ends a probe past the last cut's rate: that rate was the link's. The next probe
    // waits the hold-down, longer each time, so that a steady link settles instead of see-sawing.
    if (probingPast_) {
        pastCutWaitMs_ = std::min(pastCutWaitMs_ * 2, c_.pastCutWaitMaxMs);
        probeWaitMs_ = pastCutWaitMs_;
    } else {
        probeWaitMs_ = c_.holdMs;
    }
    probingPast_ = false;
    freeProbes_ = 0;
    lastCutMs_ = nowMs;
    overuseCount_ = 0;
    if (receivedMbps > 0) cutRateMbps_ = receivedMbps;
    if (target >= level_.bitrate) return;  // already under it: the hold starts all the same
    d.why = "bitrate " + mbpsText(level_.bitrate) + " -> " + mbpsText(target) +
            " Mbps: " + causeText(cause);
    level_.bitrate = target;
    lastBitrateMs_ = nowMs;
    d.bitrateChanged = true;
    d.bitrateCause = cause;
}

void AdaptController::bitrateLoop(int64_t nowMs, const AdaptSignals& s, AdaptDecision& d) {
    if (!s.delayKnown || isStill(s)) {
        overuseCount_ = 0;
        return;
    }
    const bool draining = s.delayTrendMsPerS < c_.drainingTrendMsPerS;
    const bool holding = lastCutMs_ >= 0 && nowMs - lastCutMs_ < c_.holdMs;
    const bool stall = s.longestGapMs > c_.stallGapMs && s.queueDelayMs > c_.overuseDelayMs;
    const bool deep = s.queueDelayMs > c_.deepDelayMs;
    overuseCount_ = s.queueDelayMs > c_.overuseDelayMs && !draining ? overuseCount_ + 1 : 0;

    const double received = s.receiveMbps * 1e6;
    // More arriving than is sent now: what arrives was sent before the last cut, and the queue
    // drains behind it, however long those pictures waited.
    const bool backlog = received > c_.backlogShare * static_cast<double>(level_.bitrate);
    if (backlog) overuseCount_ = 0;
    if ((deep || stall) && !draining && !holding && !backlog) {
        const double base = received > 0 ? std::min(received, static_cast<double>(level_.bitrate))
                                         : static_cast<double>(level_.bitrate);
        cutTo(nowMs, static_cast<int64_t>(base * c_.deepCutShare),
              stall ? AdaptDecision::Cause::Stall : AdaptDecision::Cause::DeepDelay, s.receiveMbps,
              d);
        return;
    }
    if (overuseCount_ >= c_.overuseTicks && !holding) {
        cutTo(nowMs, static_cast<int64_t>(received * c_.cutShare), AdaptDecision::Cause::Congestion,
              s.receiveMbps, d);
        return;
    }

    // Room to probe: past the hold, the queue (nearly) empty, below the user's bitrate.
    if (holding || s.queueDelayMs > c_.overuseDelayMs / 2) return;
    const bool clearPast = probingPast_ && nowMs - probedPastMs_ >= c_.confirmMs;
    if (clearPast) {
        // The link carries more than at the last cut: that cut no longer says anything.
        probingPast_ = false;
        cutRateMbps_ = 0;
        pastCutWaitMs_ = c_.pastCutWaitMs;
    }
    if (level_.bitrate >= ceiling_ || nowMs - lastBitrateMs_ < probeWaitMs_) return;
    const double step =
        cutRateMbps_ > 0
            ? c_.probeStep
            : std::min(c_.probeStepMax, c_.probeStep + c_.probeStepGrowth * freeProbes_);
    int64_t target = std::min(ceiling_, static_cast<int64_t>(std::llround(level_.bitrate * step)));
    const int64_t safeRate = static_cast<int64_t>(cutRateMbps_ * 1e6 * c_.safeShare);
    if (safeRate > 0 && target > safeRate) {
        if (probingPast_) return;  // one step past it at a time, until it is confirmed
        if (level_.bitrate < safeRate) {
            // Up to just under the rate the link carried, which needs no hold-down of its own.
            target = safeRate;
        } else {
            if (nowMs - lastBitrateMs_ < pastCutWaitMs_) return;
            probingPast_ = true;
            probedPastMs_ = nowMs;
        }
    }
    if (target <= level_.bitrate) return;
    probeWaitMs_ = c_.probeGapMs;
    d.why = "bitrate " + mbpsText(level_.bitrate) + " -> " + mbpsText(target) +
            " Mbps: " + causeText(AdaptDecision::Cause::Probe);
    level_.bitrate = target;
    lastBitrateMs_ = nowMs;
    d.bitrateChanged = true;
    d.bitrateCause = AdaptDecision::Cause::Probe;
    freeProbes_ = cutRateMbps_ > 0 ? 0 : freeProbes_ + 1;
}

// The first rung down whose load, scaled from the load measured now by its pixels a second, fits
// under the limit beside the other streams' load; the last rung when none does. A PC far behind
// gets there in one change (each change costs the phone a restart and a key picture, and every
// second at a size it cannot keep drops pictures); one a little behind moves one rung, as before.
// The scaling is hopeful (the present's share shrinks less than the pixels do), so it never
// overshoots downward; a rung that still proves too costly is left at the next change.
int AdaptController::rungThatFits(double load, double othersLoad) const {
    const double now = costs_[static_cast<size_t>(level_.rung)];
    for (int r = level_.rung + 1; r < rungCount(); ++r) {
        const double scaled = load * costs_[static_cast<size_t>(r)] / std::max(1e-9, now);
        if (scaled + othersLoad <= c_.loadLimit) return r;
    }
    return rungCount() - 1;
}

void AdaptController::sizeLoop(int64_t nowMs, const AdaptSignals& s, AdaptDecision& d) {
    if (lastRungMs_ >= 0 && nowMs - lastRungMs_ < c_.settleAfterSizeMs) return;
    if (isStill(s)) return;
    // The whole PC's load: this stream's and, with several phones, the others'.
    const double load = s.load();
    const double pcLoad = load < 0 ? -1 : load + s.othersLoad;
    const bool slow = pcLoad > c_.loadLimit;
    // Drops while the link is congested come from pictures arriving in bursts, not from this PC.
    const bool drops = !linkBusy(s) && (s.dropShare() > c_.dropLimit || s.backlogResets > 0);
    const std::string sep = d.why.empty() ? "" : "; ";
    if (slow && !drops && !s.givesWay) {
        // Another stream costs the PC more and steps down first; stepping here as well would
        // take twice what the overload needs.
        quietMs_ = 0;
        loadedCount_ = 0;
        return;
    }
    if (slow || drops) {
        quietMs_ = 0;
        ++loadedCount_;
        if (loadedCount_ < c_.loadTicks || level_.rung + 1 >= rungCount()) return;
        if (lastRungMs_ >= 0 && nowMs - lastRungMs_ < c_.sizeGapMs) return;
        // Taking back a step up: the next one waits longer.
        if (lastRungUp_ && nowMs - lastRungMs_ < c_.upHeldMs) {
            upWaitMs_ = std::min(upWaitMs_ * 2, c_.upWaitMaxMs);
        }
        const double perPicture = s.decodeMs + std::max(0.0, s.presentMs);
        pcPictures_ = perPicture > 0 ? 1000.0 / perPicture : 0.0;
        const AdaptDecision::Cause cause =
            slow ? AdaptDecision::Cause::Decoder : AdaptDecision::Cause::Drops;
        const int to = slow ? rungThatFits(load, s.othersLoad) : level_.rung + 1;
        d.why += sep + "size rung " + std::to_string(level_.rung) + " -> " + std::to_string(to) +
                 ": " + causeText(cause);
        level_.rung = to;
        d.rungChanged = true;
        d.rungCause = cause;
        lastRungMs_ = nowMs;
        lastRungUp_ = false;
        loadedCount_ = 0;
        return;
    }
    loadedCount_ = 0;
    if (level_.rung == 0 || load < 0) return;
    const double up = costs_[static_cast<size_t>(level_.rung - 1)] /
                      std::max(1e-9, costs_[static_cast<size_t>(level_.rung)]);
    const bool quiet = load * up + s.othersLoad < c_.upLoadLimit &&
                       s.dropShare() <= c_.dropLimit / 2 && s.backlogResets == 0;
    if (!quiet) {
        quietMs_ = 0;
        return;
    }
    quietMs_ += s.spanMs;
    if (quietMs_ < upWaitMs_) return;
    if (lastRungMs_ >= 0 && nowMs - lastRungMs_ < c_.sizeGapMs) return;
    d.why += sep + "size rung " + std::to_string(level_.rung) + " -> " +
             std::to_string(level_.rung - 1) + ": " + causeText(AdaptDecision::Cause::Quiet);
    --level_.rung;
    d.rungChanged = true;
    d.rungCause = AdaptDecision::Cause::Quiet;
    lastRungMs_ = nowMs;
    lastRungUp_ = true;
    quietMs_ = 0;
}

}  // namespace tov
