// The player with its render thread, against devices the test controls.
#include "audio/audio_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "audio/realtime_sink.h"
#include "audio/stop_signal.h"
#include "scripted_output.h"

namespace tov {
namespace {

using test::DeviceLab;

std::vector<int16_t> numberedFrames(int first, int count) {
    std::vector<int16_t> out;
    for (int i = first; i < first + count; ++i) {
        out.push_back(static_cast<int16_t>(i));
        out.push_back(static_cast<int16_t>(-i));
    }
    return out;
}

class AudioPlayerTest : public ::testing::Test {
  protected:
    DeviceLab lab;  // outlives the player's render thread
    AudioPlayer player{48000, 2, 1.0f, [this] { return lab.makeOutput(); }};

    void pushFrames(int first, int count) {
        const std::vector<int16_t> frames = numberedFrames(first, count);
        player.push(frames.data(), static_cast<size_t>(count));
    }
    bool waitForSamples(size_t count) {
        return lab.waitFor([count](const DeviceLab& l) { return l.received().size() >= count; });
    }
};

TEST_F(AudioPlayerTest, PlaysPushedSoundInOrderAtTheSetVolume) {
    ASSERT_TRUE(player.start(48000, 2));
    EXPECT_TRUE(player.running());
    pushFrames(0, 1440);
    ASSERT_TRUE(waitForSamples(1440 * 2));
    player.setVolume(0.5f);
    const std::vector<int16_t> loud = {3, -3};
    std::vector<int16_t> packet;
    for (int i = 0; i < 1440; ++i) packet.insert(packet.end(), loud.begin(), loud.end());
    player.push(packet.data(), 1440);
    ASSERT_TRUE(waitForSamples(2880 * 2));

    std::vector<int16_t> expected = numberedFrames(0, 1440);
    for (int i = 0; i < 1440; ++i) expected.insert(expected.end(), {2, -2});
    EXPECT_EQ(lab.received(), expected);
    player.stop();
    EXPECT_FALSE(player.running());
}

TEST_F(AudioPlayerTest, NoDeviceKeepsRetryingUntilStopped) {
    lab.setOpens(false);
    ASSERT_TRUE(player.start(48000, 2));
    // The counters follow each attempt, so wait on them rather than on the attempts.
    AudioPlayerStats stats;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        stats = player.stats();
        if (stats.openFailures >= 2 && stats.retryPauses == stats.openFailures) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    EXPECT_TRUE(stats.running);
    EXPECT_FALSE(stats.deviceOpen);
    EXPECT_GE(stats.openFailures, 2u);
    EXPECT_EQ(stats.retryPauses, stats.openFailures);
    // Sound pushed meanwhile waits in the ring (only the last 90 ms of it will play).
    pushFrames(0, 1000);
    EXPECT_EQ(player.stats().buffer.bufferedFrames, 1000u);

    player.stop();
    const int attempts = lab.openAttempts();
    EXPECT_FALSE(player.running());
    EXPECT_EQ(player.stats().buffer.bufferedFrames, 0u);

    // A device that appears later is found by the next start.
    lab.setOpens(true);
    EXPECT_EQ(lab.openAttempts(), attempts);
    ASSERT_TRUE(player.start(48000, 2));
    ASSERT_TRUE(lab.waitFor([](const DeviceLab& l) { return l.opened() >= 1; }));
}

TEST_F(AudioPlayerTest, ALostDeviceIsReopenedAtOnceAndLosesNoSound) {
    ASSERT_TRUE(player.start(48000, 2));
    pushFrames(0, 1920);
    ASSERT_TRUE(waitForSamples(1920 * 2));

    lab.breakOpenDevice(DeviceLab::Fault::padding);  // like an unplugged device
    ASSERT_TRUE(lab.waitFor([&](const DeviceLab&) { return player.stats().deviceLosses >= 1; }));
    ASSERT_TRUE(lab.waitFor([](const DeviceLab& l) { return l.opened() >= 2; }));
    pushFrames(1920, 1920);
    ASSERT_TRUE(waitForSamples(3840 * 2));

    EXPECT_EQ(lab.received(), numberedFrames(0, 3840));
    const AudioPlayerStats stats = player.stats();
    EXPECT_EQ(stats.deviceOpens, 2u);
    EXPECT_EQ(stats.retryPauses, 0u);  // it had played: reopened without a pause
}

TEST_F(AudioPlayerTest, ABufferThatCannotBeHadKeepsTheSoundForTheNextDevice) {
    lab.setFault(DeviceLab::Fault::getBuffer);
    ASSERT_TRUE(player.start(48000, 2));
    pushFrames(0, 1440);
    // The device failed before a single good pass: the next try waits like a missing device,
    // so a broken device cannot spin the render thread. (The loss is counted a moment before
    // its pause, so wait for both.)
    ASSERT_TRUE(lab.waitFor([&](const DeviceLab&) {
        const AudioPlayerStats s = player.stats();
        return s.deviceLosses >= 1 && s.retryPauses >= 1;
    }));
    lab.setFault(DeviceLab::Fault::none);
    ASSERT_TRUE(waitForSamples(1440 * 2));
    EXPECT_EQ(lab.received(), numberedFrames(0, 1440));
}

TEST_F(AudioPlayerTest, FormatsTakeDefaultsAndImpossibleOnesAreRefused) {
    ASSERT_TRUE(player.start(0, -1));
    EXPECT_EQ(player.stats().format.sampleRate, 48000);
    EXPECT_EQ(player.stats().format.channels, 2);
    EXPECT_EQ(player.stats().buffer.ringSamples, 96000u);

    ASSERT_TRUE(player.start(16000, 1));
    EXPECT_TRUE(player.running());
    EXPECT_EQ(player.stats().buffer.ringSamples, 16000u);
    EXPECT_EQ(player.stats().buffer.bufferedFrames, 0u);

    // A corrupt config must not size a gigantic ring: refused, and the player is stopped.
    EXPECT_FALSE(player.start(2000000000, 2));
    EXPECT_FALSE(player.running());
    EXPECT_FALSE(player.start(48000, 1000));
    EXPECT_FALSE(player.running());
    pushFrames(0, 10);  // harmless while stopped
}

TEST_F(AudioPlayerTest, StopIsSafeInAnyStateAndFromAnotherThread) {
    player.stop();  // never started
    ASSERT_TRUE(player.start(48000, 2));
    std::thread other([this] { player.stop(); });
    other.join();
    EXPECT_FALSE(player.running());
    player.stop();
    ASSERT_TRUE(player.start(44100, 2));
    EXPECT_TRUE(player.running());
    // The destructor stops the running thread.
}

TEST(StopSignal, CutsAWaitShortAndResets) {
    StopSignal stop;
    std::thread raiser([&stop] { stop.raise(); });
    EXPECT_TRUE(stop.waitFor(3600 * 1000));  // an hour: only the stop can end this in time
    raiser.join();
    EXPECT_TRUE(stop.raised());
    stop.clear();
    EXPECT_FALSE(stop.raised());
    EXPECT_FALSE(stop.waitFor(1));
}

TEST(RealTimeSinkPlayer, PlaysOutThroughTheSinkAndItsTap) {
    std::mutex lock;
    std::vector<int16_t> played;
    RealTimeSink::Tap tap = [&](const int16_t* samples, uint32_t frames, int channels) {
        std::lock_guard<std::mutex> hold(lock);
        played.insert(played.end(), samples, samples + frames * channels);
    };
    AudioPlayer player(48000, 2, 0.5f, [tap] { return std::make_unique<RealTimeSink>(tap); });
    ASSERT_TRUE(player.start(48000, 2));
    std::vector<uint8_t> packet;
    for (int i = 0; i < 1440; ++i) {
        for (int16_t s : {static_cast<int16_t>(2 * i + 1), static_cast<int16_t>(-2 * i - 1)}) {
            packet.push_back(static_cast<uint8_t>(s & 0xFF));
            packet.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        }
    }
    player.pushBytes(packet.data(), packet.size());
    test::DeviceLab clock;  // only for its bounded wait
    ASSERT_TRUE(clock.waitFor([&](const test::DeviceLab&) {
        std::lock_guard<std::mutex> hold(lock);
        return played.size() >= 1440 * 2;
    }));
    player.stop();
    std::vector<int16_t> expected;
    for (int i = 0; i < 1440; ++i) {
        // (2i + 1) / 2 rounds away from zero to i + 1.
        expected.push_back(static_cast<int16_t>(i + 1));
        expected.push_back(static_cast<int16_t>(-i - 1));
    }
    std::lock_guard<std::mutex> hold(lock);
    EXPECT_EQ(played, expected);
}

}  // namespace
}  // namespace tov
