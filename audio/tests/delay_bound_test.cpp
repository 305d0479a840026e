// The delay the player holds, on a simulated clock: the playback buffer feeding a device model
// that plays 48 kHz with a 20 ms buffer and asks for more every 10 ms, while the phone's packets
// arrive at the real rate (or a little faster or slower), with or without network jitter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "audio/playback_buffer.h"
#include "audio/playout_queue.h"

namespace tov {
namespace {

constexpr AudioFormat kFormat{48000, 2};
constexpr uint32_t kLow = 1440;   // 30 ms
constexpr uint32_t kHigh = 4320;  // 90 ms
constexpr uint32_t kDeviceFrames = 960;
constexpr int64_t kPeriodMicros = 10000;

struct Feed {
    int packetMs = 10;
    double rate = 1.0;  // phone's sound per PC second
    int jitterMs = 0;   // late arrival, up to this much, in order
    uint32_t deviceFrames = kDeviceFrames;
    int eventLateMicros = 0;  // the render thread wakes up to this much after the device asks
};

struct Pass {
    bool primingBefore = false;
    size_t ringBefore = 0;  // after any cut: what the write drew from
    int64_t written = 0;
    size_t ringAfter = 0;
    uint32_t queuedAfter = 0;
    bool playing = false;  // sound has reached the device at least once
};

struct SimulatedRun {
    std::vector<Pass> passes;
    uint64_t starvedFrames = 0;
    PlaybackCounters counters;
};

SimulatedRun simulate(const Feed& feed, int seconds) {
    PlaybackBuffer buffer;
    buffer.reset(kFormat);
    PlayoutQueue device(kFormat.sampleRate, feed.deviceFrames);
    const size_t packetFrames = static_cast<size_t>(48 * feed.packetMs);
    const std::vector<int16_t> packet(packetFrames * 2, 1000);
    std::vector<int16_t> deviceMemory(feed.deviceFrames * 2);
    uint32_t seed = 12345;
    double sentMicros = 0;     // when the phone sends the next packet
    int64_t lastArrival = 0;   // packets stay in order: none arrives before the one ahead
    int64_t nextArrival = -1;  // of the next packet, once drawn
    int64_t nextEvent = 0;     // when the device asks for more
    int64_t nextWake = 0;      // when the render thread gets to it
    SimulatedRun run;
    bool playing = false;
    for (int64_t now = 0; now < seconds * 1000000LL; now += 100) {
        while (true) {
            if (nextArrival < 0) {
                seed = seed * 1664525u + 1013904223u;
                const int64_t late = feed.jitterMs > 0 ? (seed >> 8) % (feed.jitterMs * 1000) : 0;
                nextArrival = std::max(lastArrival, static_cast<int64_t>(sentMicros) + late);
            }
            if (nextArrival > now) break;
            buffer.push(packet.data(), packetFrames);
            sentMicros += feed.packetMs * 1000.0 / feed.rate;
            lastArrival = nextArrival;
            nextArrival = -1;
        }
        if (now < nextWake) continue;
        nextEvent += kPeriodMicros;
        seed = seed * 1664525u + 1013904223u;
        nextWake = nextEvent + (feed.eventLateMicros > 0 ? (seed >> 8) % feed.eventLateMicros : 0);
        Pass pass;
        const uint32_t queued = device.queued(now);
        const PlaybackCounters before = buffer.counters();
        pass.primingBefore = before.priming;
        pass.written = buffer.fill(queued, feed.deviceFrames, 1.0f,
                                   [&](uint32_t) { return deviceMemory.data(); });
        if (pass.written > 0) {
            device.add(static_cast<uint32_t>(pass.written), now);
            playing = true;
        }
        pass.ringAfter = buffer.counters().bufferedFrames;
        pass.ringBefore = pass.ringAfter + static_cast<size_t>(std::max<int64_t>(pass.written, 0));
        pass.queuedAfter = device.queued(now);
        pass.playing = playing;
        run.passes.push_back(pass);
    }
    run.starvedFrames = device.starvedFrames();
    run.counters = buffer.counters();
    return run;
}

TEST(DelayBound, SteadyFeedAtTheRealRateHoldsBetween30And90Ms) {
    for (const int packetMs : {5, 10, 20}) {
        for (const int jitterMs : {0, 10}) {
            SCOPED_TRACE(testing::Message() << packetMs << " ms packets, jitter " << jitterMs);
            const SimulatedRun run = simulate({packetMs, 1.0, jitterMs, kDeviceFrames, 0}, 60);
            size_t lowest = SIZE_MAX, highest = 0;
            for (const Pass& pass : run.passes) {
                if (!pass.playing) continue;
                const size_t delay = pass.ringAfter + pass.queuedAfter;
                lowest = std::min(lowest, delay);
                highest = std::max(highest, delay);
            }
            // A packet late by up to the jitter takes at most that much off the 30 ms cushion.
            EXPECT_GE(lowest, kLow - static_cast<size_t>(48 * jitterMs));
            EXPECT_LE(highest, kHigh);
            EXPECT_EQ(run.counters.trims, 0u);
            EXPECT_EQ(run.starvedFrames, 0u);
        }
    }
}

TEST(DelayBound, DeviceBuffersOf30MsOrMorePlayWithoutGaps) {
    // Some devices (and Wine) give a longer buffer than the 20 ms asked for; one of 30 ms takes
    // the whole ring at every pass. With the render thread waking late by up to 3 ms, the device
    // must still never run dry.
    for (const uint32_t deviceFrames : {1056u, 1440u, 2400u}) {
        SCOPED_TRACE(testing::Message() << deviceFrames << " device frames");
        const SimulatedRun run = simulate({10, 1.0, 2, deviceFrames, 3000}, 60);
        EXPECT_EQ(run.starvedFrames, 0u);
        EXPECT_EQ(run.counters.reprimes, 0u);
        for (const Pass& pass : run.passes) {
            if (pass.playing) {
                EXPECT_LE(pass.ringAfter + pass.queuedAfter, kHigh);
            }
        }
    }
}

TEST(DelayBound, AFasterPhoneIsCutBackAndNeverStarvesTheDevice) {
    const SimulatedRun run = simulate({10, 1.01, 10, kDeviceFrames, 0}, 60);
    EXPECT_GT(run.counters.trims, 0u);
    for (const Pass& pass : run.passes) {
        EXPECT_LE(pass.ringAfter, kHigh);
        EXPECT_LE(pass.ringAfter + pass.queuedAfter, kHigh + kDeviceFrames);
    }
    EXPECT_EQ(run.starvedFrames, 0u);
}

TEST(DelayBound, ASlowerPhoneRePrimesAndEachRestartHas30Ms) {
    const SimulatedRun run = simulate({10, 0.99, 0, kDeviceFrames, 0}, 60);
    EXPECT_GT(run.counters.reprimes, 0u);
    size_t restarts = 0;
    for (const Pass& pass : run.passes) {
        if (pass.primingBefore && pass.written > 0) {
            ++restarts;
            EXPECT_GE(pass.ringBefore, kLow);
        }
        EXPECT_LE(pass.ringAfter, kHigh);
    }
    EXPECT_EQ(restarts, run.counters.reprimes + 1);
    // The silence is what the missing 1% costs, plus at most one priming wait per restart.
    EXPECT_LE(run.starvedFrames, 48000u * 60 / 100 + restarts * kLow);
}

TEST(PlayoutQueue, PlaysOutAtTheSampleRateAndCountsSilence) {
    PlayoutQueue queue(48000, 960);
    EXPECT_EQ(queue.queued(0), 0u);
    queue.add(960, 1000);
    EXPECT_EQ(queue.queued(1000), 960u);
    EXPECT_EQ(queue.queued(1000 + 5000), 720u);
    queue.add(500, 6000);  // only 240 fit
    EXPECT_EQ(queue.queued(6000), 960u);
    EXPECT_EQ(queue.queued(6000 + 20000), 0u);
    EXPECT_EQ(queue.starvedFrames(), 0u);
    EXPECT_EQ(queue.queued(6000 + 30000), 0u);
    EXPECT_EQ(queue.starvedFrames(), 480u);
}

}  // namespace
}  // namespace tov
