// The stream adapter's two control loops, as a pure unit: signals in, the level to send out.
// Time comes in with every call, so the loops run the same over a recorded trace as live.
//
// Bitrate: delay-gradient congestion control, as real-time media on the web does it. A link that
// carries less than is sent shows first as a queue that builds (the delay grows) long before
// anything is lost, so the loop watches the queue delay and its trend; on congestion it cuts to
// a share of what actually arrives (the link's real rate just then), holds, and then probes
// upward step by step, additive-increase / multiplicative-decrease in spirit, more warily near
// the rate where the last cut happened.
//
// Size and frame rate: when this PC cannot decode and present a picture within the frame
// interval, or drops many, the stream steps down a ladder of cheaper pictures (as far as the
// measured load says it must, at once), and steps back up one rung after a quiet period,
// waiting longer each time the step up had to be taken back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "adapt/adapt_signals.h"

namespace tov {

struct AdaptConfig {
    // ---- Bitrate loop ----
    // Queue delay above which a rising queue counts as congestion. Below it lies the jitter of a
    // healthy link (Wi-Fi retries, adb's forwarding, a key frame taking a few ms longer); a queue
    // of 40 ms is already more than a frame interval at 30 fps waiting in the link.
    double overuseDelayMs = 40;
    // Ticks (seconds) the queue must be over that and not draining before a cut: one second of
    // a high delay can be a burst (a key frame, a Wi-Fi scan); two is a trend.
    int overuseTicks = 2;
    // A slope below this (ms per second) means the queue is draining: no cut for it.
    double drainingTrendMsPerS = -5;
    // A delay this large, or a stall followed by a delay over the overuse line, is cut at once
    // and deeper: the queue already holds a third of a second, which must drain before the
    // picture is live again, and draining needs room below the link's rate.
    double deepDelayMs = 300;
    double stallGapMs = 1000;
    // Receiving more than this share of the bitrate sent now means the pictures arriving were
    // sent before a cut: the queue is draining behind them, however late they are, so no
    // further cut. 1.1 leaves room for the encoder overshooting its target a little.
    double backlogShare = 1.1;
    // The cut: 0.85 of what arrived leaves a margin of 15% under the link's measured rate to
    // drain the queue, the usual back-off of delay-based congestion control; the deep cut halves
    // (the classic multiplicative decrease) so that a long queue drains in seconds.
    double cutShare = 0.85;
    double deepCutShare = 0.5;
    // After a cut the queue needs time to drain before the delay means anything again: a few
    // seconds (two to three round trips of the trend window) before the next cut or probe.
    int64_t holdMs = 4000;
    // Probing below the last cut's rate: 15% a step every 2 s (about 7% a second, the pace of
    // multiplicative increase in web media), quick enough to win back a freed link within a
    // minute, slow enough that each step's queue shows in the trend before the next.
    double probeStep = 1.15;
    int64_t probeGapMs = 2000;
    // Probing up to this share of what arrived at the last cut goes at the normal pace: the link
    // carried that much just then; 5% under it leaves room for the encoder's own swings.
    double safeShare = 0.95;
    // Probing past that is where congestion came from: the first such probe waits this long
    // after the last change; each probe past it that ends in a cut doubles the wait, up to the
    // most, and the probe after such a cut waits as long. That hold-down is what keeps a steady
    // link from see-sawing: two minutes between tries costs little, the link's rate is known.
    int64_t pastCutWaitMs = 8000;
    int64_t pastCutWaitMaxMs = 120000;
    // A probe past the last cut's rate that stays clear this long shows that the link carries
    // more now: the old cut is forgotten and probing goes on at the normal pace.
    int64_t confirmMs = 6000;
    // Once no cut stands (the link has carried more than at the last one), each clear probe
    // makes the next step larger by this, up to the most: from the floor, 15% steps alone need
    // over a minute to win back a freed link; growing steps (slow start's idea, gentler) take
    // about half that, and the first congestion ends the growth.
    double probeStepGrowth = 0.05;
    double probeStepMax = 1.5;
    // Below this the picture is not worth sending; the encoders' own floor is about here.
    int64_t minBitrate = 2000000;
    // Fewer pictures than this share of the frame rate, with a low delay, is a still screen:
    // the phone sends only what changes. Neither a cut nor a probe is measured on it.
    double stillShare = 0.25;

    // ---- Size and frame-rate loop ----
    // Decode plus present over 85% of the frame interval leaves the two threads no slack: any
    // hiccup becomes a dropped picture. More than 10% of the pictures dropped is visible stutter.
    double loadLimit = 0.85;
    double dropLimit = 0.10;
    // Seconds of that before a step down: a single slow second (a window being dragged, a virus
    // scan starting) must not cost a size change.
    int loadTicks = 3;
    // A step up is taken when the load predicted at the next rung (scaled by its pixels per
    // second) stays under this: 0.7, well under the 0.85 that would step down again.
    double upLoadLimit = 0.70;
    // At most one size change per 10 s: each one restarts the phone's encoder and costs a key
    // frame, so changes closer than that would be felt.
    int64_t sizeGapMs = 10000;
    // Quiet time before a step up: 20 s, doubled each time a step up had to be taken back within
    // a minute, up to 160 s (three doublings), so a PC at its limit settles instead of cycling.
    int64_t upWaitMs = 20000;
    int64_t upWaitMaxMs = 160000;
    int64_t upHeldMs = 60000;
    // The seconds right after a size change show the encoder restarting (a key frame, pictures
    // waiting for it), not this PC's load: they are not measured.
    int64_t settleAfterSizeMs = 2000;
};

// What is sent: a bitrate and a rung of the size ladder (0: the user's own size).
struct AdaptLevel {
    int64_t bitrate = 0;
    int rung = 0;
    bool operator==(const AdaptLevel&) const = default;
};

struct AdaptDecision {
    enum class Cause { None, Congestion, DeepDelay, Stall, Probe, Decoder, Drops, Quiet };
    bool bitrateChanged = false;
    bool rungChanged = false;
    AdaptLevel level;
    Cause bitrateCause = Cause::None;
    Cause rungCause = Cause::None;
    // The signals that made the change, for the log.
    std::string why;

    bool changed() const { return bitrateChanged || rungChanged; }
};

class AdaptController {
  public:
    explicit AdaptController(AdaptConfig config = {});

    // A new stream. `ceiling` is the user's bitrate; `rungCosts` the pixels per second of each
    // rung relative to rung 0 (the user's size), each cheaper than the one before; `from` where
    // to start (a remembered level), kept within both.
    void start(int64_t nowMs, int64_t ceiling, std::vector<double> rungCosts, AdaptLevel from);
    // The user chose another bitrate or size mid-stream: the level stays within it. True when
    // that lowered the level.
    bool setCeiling(int64_t ceiling, std::vector<double> rungCosts);
    // One tick.
    AdaptDecision step(int64_t nowMs, const AdaptSignals& s);

    AdaptLevel level() const { return level_; }
    int64_t ceiling() const { return ceiling_; }
    int rungCount() const { return static_cast<int>(costs_.size()); }
    // Milliseconds since the level last changed.
    int64_t unchangedFor(int64_t nowMs) const { return nowMs - lastChangeMs_; }
    // What the link was measured to carry at the last cut (Mbit/s); 0 when no cut stands.
    double linkMbps() const { return cutRateMbps_; }
    // Pictures a second this PC managed at the rung above, measured at the last step down.
    double pcPicturesPerSecond() const { return pcPictures_; }
    bool isStill(const AdaptSignals& s) const;

  private:
    void bitrateLoop(int64_t nowMs, const AdaptSignals& s, AdaptDecision& d);
    void sizeLoop(int64_t nowMs, const AdaptSignals& s, AdaptDecision& d);
    void cutTo(int64_t nowMs, int64_t target, AdaptDecision::Cause cause, double receivedMbps,
               AdaptDecision& d);
    bool linkBusy(const AdaptSignals& s) const;
    int rungThatFits(double load, double othersLoad) const;

    AdaptConfig c_;
    int64_t ceiling_ = 0;
    std::vector<double> costs_{1.0};
    AdaptLevel level_;
    int64_t lastChangeMs_ = 0;

    // Bitrate loop.
    int overuseCount_ = 0;
    int64_t lastCutMs_ = -1;     // -1: none yet
    int64_t lastBitrateMs_ = 0;  // last bitrate change
    double cutRateMbps_ = 0;     // what arrived when the last cut happened; 0 none
    int64_t pastCutWaitMs_ = 0;
    int64_t probeWaitMs_ = 0;   // from the last bitrate change to the next probe
    bool probingPast_ = false;  // the bitrate is past the last cut's rate, not yet confirmed
    int64_t probedPastMs_ = 0;
    int freeProbes_ = 0;  // probes in a row with no cut standing

    // Size loop.
    int loadedCount_ = 0;
    int64_t quietMs_ = 0;
    int64_t lastRungMs_ = -1;  // -1: none yet
    bool lastRungUp_ = false;
    int64_t upWaitMs_ = 0;
    double pcPictures_ = 0;
};

const char* causeText(AdaptDecision::Cause cause);

}  // namespace tov
