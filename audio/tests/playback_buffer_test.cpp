// The ring and the render-side rules, driven pass by pass without a device.
#include "audio/playback_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tov {
namespace {

constexpr AudioFormat kStereo48k{48000, 2};

// Frames whose left sample is its index (mod 30000) and whose right sample is the negation, so
// that any reordering, loss or channel swap shows.
std::vector<int16_t> numberedFrames(size_t first, size_t count) {
    std::vector<int16_t> out;
    out.reserve(count * 2);
    for (size_t i = first; i < first + count; ++i) {
        out.push_back(static_cast<int16_t>(i % 30000));
        out.push_back(static_cast<int16_t>(-static_cast<int>(i % 30000)));
    }
    return out;
}

// Runs one pass for a device with room for roomFrames that still holds queuedFrames, and
// returns what the device got.
std::vector<int16_t> fillOnce(PlaybackBuffer& buffer, uint32_t roomFrames, float volume = 1.0f,
                              uint32_t queuedFrames = 0) {
    const size_t channels = static_cast<size_t>(buffer.format().channels);
    std::vector<int16_t> device(roomFrames * channels, 0x7777);
    const int64_t written =
        buffer.fill(queuedFrames, queuedFrames + roomFrames, volume, [&](uint32_t frames) {
            EXPECT_LE(frames, roomFrames);
            return device.data();
        });
    EXPECT_GE(written, 0);
    device.resize(static_cast<size_t>(written < 0 ? 0 : written) * channels);
    return device;
}

class PlaybackBufferTest : public ::testing::Test {
  protected:
    void SetUp() override { buffer.reset(kStereo48k); }
    void pushFrames(size_t first, size_t count) {
        const std::vector<int16_t> frames = numberedFrames(first, count);
        buffer.push(frames.data(), count);
    }
    PlaybackBuffer buffer;
};

TEST_F(PlaybackBufferTest, StereoRingHoldsOneSecondAndBurstsKeepTheirLastSecond) {
    EXPECT_EQ(buffer.counters().ringSamples, 96000u);

    pushFrames(0, 72000);  // 1.5 s in one push
    EXPECT_EQ(buffer.counters().bufferedFrames, 48000u);
    EXPECT_EQ(buffer.counters().overflows, 1u);

    // The first pass cuts the second back to 30 ms; what stays is the newest sound.
    EXPECT_EQ(fillOnce(buffer, 960), numberedFrames(72000 - 1440, 960));
    EXPECT_EQ(fillOnce(buffer, 960), numberedFrames(72000 - 480, 480));
}

TEST_F(PlaybackBufferTest, OverflowAcrossPushesGivesUpTheOldestSound) {
    pushFrames(0, 30000);
    pushFrames(30000, 30000);  // 12,000 frames too many
    const PlaybackCounters counters = buffer.counters();
    EXPECT_EQ(counters.bufferedFrames, 48000u);
    EXPECT_EQ(counters.overflows, 1u);
    // Cut to 30 ms at the next pass: the last 1,440 frames, continuing across the ring's end.
    EXPECT_EQ(fillOnce(buffer, 2000), numberedFrames(60000 - 1440, 1440));
}

TEST_F(PlaybackBufferTest, TooMuchDelayIsCutBackTo30Ms) {
    pushFrames(0, 5000);  // 104 ms
    EXPECT_EQ(fillOnce(buffer, 0).size(), 0u);
    EXPECT_EQ(buffer.counters().bufferedFrames, 1440u);
    EXPECT_EQ(buffer.counters().trims, 1u);
    EXPECT_EQ(fillOnce(buffer, 1440), numberedFrames(5000 - 1440, 1440));

    // 90 ms exactly is not too much.
    pushFrames(10000, 4320);
    fillOnce(buffer, 0);
    EXPECT_EQ(buffer.counters().bufferedFrames, 4320u);
    EXPECT_EQ(buffer.counters().trims, 1u);
}

TEST_F(PlaybackBufferTest, PrimingHoldsOutputUntil30MsAlsoAfterAnUnderrun) {
    pushFrames(0, 1439);
    EXPECT_TRUE(fillOnce(buffer, 960).empty());
    EXPECT_TRUE(buffer.counters().priming);
    pushFrames(1439, 1);
    EXPECT_EQ(fillOnce(buffer, 960), numberedFrames(0, 960));
    EXPECT_FALSE(buffer.counters().priming);

    // Less than 30 ms still plays once priming is over.
    EXPECT_EQ(fillOnce(buffer, 960, 1.0f, 480), numberedFrames(960, 480));
    // The ring ran dry, then the device too: that underrun primes again, and 20 ms of new
    // sound waits for 10 more.
    EXPECT_TRUE(fillOnce(buffer, 960, 1.0f, 0).empty());
    const PlaybackCounters dry = buffer.counters();
    EXPECT_TRUE(dry.priming);
    EXPECT_EQ(dry.reprimes, 1u);
    pushFrames(1440, 960);
    EXPECT_TRUE(fillOnce(buffer, 960).empty());
    pushFrames(2400, 480);
    EXPECT_EQ(fillOnce(buffer, 960), numberedFrames(1440, 960));
}

TEST_F(PlaybackBufferTest, AnEmptyRingIsNoUnderrunWhileTheDeviceStillPlays) {
    // A 30 ms device buffer takes the whole ring at once.
    pushFrames(0, 1440);
    EXPECT_EQ(fillOnce(buffer, 1440), numberedFrames(0, 1440));
    // Passes that find the ring empty while the device holds sound change nothing...
    EXPECT_TRUE(fillOnce(buffer, 480, 1.0f, 960).empty());
    EXPECT_FALSE(buffer.counters().priming);
    // ...and the next 10 ms plays at once, without waiting for 30.
    pushFrames(1440, 480);
    EXPECT_EQ(fillOnce(buffer, 960, 1.0f, 480), numberedFrames(1440, 480));
    EXPECT_EQ(buffer.counters().reprimes, 0u);
}

TEST_F(PlaybackBufferTest, WritesNoMoreThanTheDeviceHasRoomFor) {
    pushFrames(0, 2000);
    EXPECT_EQ(fillOnce(buffer, 100), numberedFrames(0, 100));
    EXPECT_EQ(fillOnce(buffer, 0).size(), 0u);
    EXPECT_EQ(buffer.counters().bufferedFrames, 1900u);
}

TEST_F(PlaybackBufferTest, AFailedDestinationLosesNoSound) {
    pushFrames(0, 1500);
    const int64_t result = buffer.fill(0, 960, 1.0f, [](uint32_t) -> int16_t* { return nullptr; });
    EXPECT_EQ(result, PlaybackBuffer::kDestinationFailed);
    EXPECT_EQ(buffer.counters().bufferedFrames, 1500u);
    EXPECT_EQ(fillOnce(buffer, 960), numberedFrames(0, 960));
}

TEST_F(PlaybackBufferTest, VolumeAppliesOnTheWayToTheDevice) {
    const std::vector<int16_t> samples(1440 * 2, 3);
    buffer.push(samples.data(), 1440);
    EXPECT_EQ(fillOnce(buffer, 2, 0.5f), std::vector<int16_t>(4, 2));
    // The ring keeps the original sound: a later volume applies to it afresh.
    EXPECT_EQ(fillOnce(buffer, 2, 1.0f), std::vector<int16_t>(4, 3));
}

TEST_F(PlaybackBufferTest, ClearEmptiesAndPrimesButKeepsTheRing) {
    pushFrames(0, 2000);
    fillOnce(buffer, 960);
    buffer.clear();
    const PlaybackCounters counters = buffer.counters();
    EXPECT_EQ(counters.bufferedFrames, 0u);
    EXPECT_TRUE(counters.priming);
    EXPECT_EQ(counters.ringSamples, 96000u);
    pushFrames(5000, 1440);
    EXPECT_EQ(fillOnce(buffer, 960), numberedFrames(5000, 960));
}

TEST(PlaybackBufferBytes, PacketsDecodeLittleEndianWholeFramesAtAnyAlignment) {
    PlaybackBuffer buffer;
    buffer.reset({48000, 2});
    // One spare byte in front so the samples sit at an odd address, and half a frame behind.
    const std::vector<uint8_t> packet = {0xEE, 0x34, 0x12, 0xFE, 0xFF, 0x00,
                                         0x80, 0xFF, 0x7F, 0x01, 0x02};
    buffer.pushBytes(packet.data() + 1, packet.size() - 1);
    EXPECT_EQ(buffer.counters().bufferedFrames, 2u);

    std::vector<int16_t> padding(1438 * 2, 0);
    buffer.push(padding.data(), 1438);
    const std::vector<int16_t> out = fillOnce(buffer, 2);
    EXPECT_EQ(out, (std::vector<int16_t>{0x1234, -2, -32768, 32767}));
}

TEST(PlaybackBufferBytes, PacketFramesFollowTheAnnouncedChannelCount) {
    // Mono: every 2 bytes are a frame (a 4-byte-per-frame count would keep only half).
    PlaybackBuffer mono;
    mono.reset({16000, 1});
    EXPECT_EQ(mono.counters().ringSamples, 16000u);
    const std::vector<uint8_t> monoPacket(640, 0);
    mono.pushBytes(monoPacket.data(), monoPacket.size());
    EXPECT_EQ(mono.counters().bufferedFrames, 320u);

    // Six channels: 12 bytes a frame; a short tail is not read as a frame.
    PlaybackBuffer six;
    six.reset({48000, 6});
    const std::vector<uint8_t> sixPacket(12 * 10 + 8, 0);
    six.pushBytes(sixPacket.data(), sixPacket.size());
    EXPECT_EQ(six.counters().bufferedFrames, 10u);
}

TEST(PlaybackBufferBytes, AnOversizedPacketKeepsItsLastSecond) {
    PlaybackBuffer buffer;
    buffer.reset({8000, 1});
    std::vector<uint8_t> packet;
    for (int i = 0; i < 12000; ++i) {
        packet.push_back(static_cast<uint8_t>(i & 0xFF));
        packet.push_back(static_cast<uint8_t>(i >> 8));
    }
    buffer.pushBytes(packet.data(), packet.size());
    const PlaybackCounters counters = buffer.counters();
    EXPECT_EQ(counters.bufferedFrames, 8000u);
    EXPECT_EQ(counters.overflows, 1u);
    // Cut to 30 ms (240 frames) at the next pass: the packet's last 240 samples.
    const std::vector<int16_t> out = fillOnce(buffer, 240);
    ASSERT_EQ(out.size(), 240u);
    EXPECT_EQ(out.front(), 12000 - 240);
    EXPECT_EQ(out.back(), 11999);
}

}  // namespace
}  // namespace tov
