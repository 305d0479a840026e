// The player on Windows' real audio stack. Run by ctest in two set-ups (see CMakeLists.txt):
// with a private sound server whose null sink is recorded from its monitor (the recording is
// named by TOV_AUDIO_RECORDING), and with no sound server at all (TOV_AUDIO_NO_DEVICE).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_player.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tov {
namespace {

constexpr int kRate = 48000;
constexpr double kToneHz = 1000.0;
constexpr double kToneAmplitude = 8000.0;
constexpr double kPi = 3.14159265358979323846;

// Waits for a condition, at most the given seconds; only a guard against hangs.
template <typename Condition>
bool waitUntil(Condition condition, int seconds = 15) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The recording's Unix path as Wine reaches it.
std::wstring windowsPath(const std::wstring& unixPath) {
    std::wstring out = unixPath;
    std::replace(out.begin(), out.end(), L'/', L'\\');
    return unixPath.empty() || unixPath[0] != L'/' ? unixPath : L"Z:" + out;
}

std::vector<int16_t> leftChannel(const std::string& raw) {
    std::vector<int16_t> out;
    for (size_t i = 0; i + 3 < raw.size(); i += 4) {
        out.push_back(static_cast<int16_t>(static_cast<uint8_t>(raw[i]) |
                                           static_cast<uint8_t>(raw[i + 1]) << 8));
    }
    return out;
}

// Energy at one frequency (Goertzel) as a share of all the energy of the samples.
double shareAt(const std::vector<int16_t>& samples, size_t from, size_t count, double hz) {
    const double w = 2 * kPi * hz / kRate;
    double s1 = 0, s2 = 0, total = 0;
    for (size_t i = from; i < from + count; ++i) {
        const double s = samples[i] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
        total += static_cast<double>(samples[i]) * samples[i];
    }
    const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
    return total > 0 ? 2 * power / (count * total) : 0;
}

double rms(const std::vector<int16_t>& samples, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / count);
}

// The recording in 10 ms windows, sorted by level: windows at the full tone's level, at half
// of it, and silent windows between the first and the last tone window (gaps).
struct LevelCensus {
    std::vector<size_t> full;  // window starts
    std::vector<size_t> half;
    size_t gaps = 0;
};

constexpr size_t kWindow = kRate / 100;

LevelCensus takeCensus(const std::vector<int16_t>& samples, double fullLevel) {
    LevelCensus census;
    size_t silentSinceTone = 0;  // silent windows after the last tone window so far
    bool toneSeen = false;
    for (size_t at = 0; at + kWindow <= samples.size(); at += kWindow) {
        const double level = rms(samples, at, kWindow);
        if (level < 100) {
            if (toneSeen) ++silentSinceTone;
            continue;
        }
        // Silence between two tone windows is a gap.
        census.gaps += silentSinceTone;
        silentSinceTone = 0;
        toneSeen = true;
        if (std::abs(level - fullLevel) < 0.03 * fullLevel) census.full.push_back(at);
        if (std::abs(level - fullLevel / 2) < 0.03 * fullLevel / 2) census.half.push_back(at);
    }
    return census;
}

// The longest run of consecutive windows among the given ones: (start, samples).
std::pair<size_t, size_t> longestRun(const std::vector<size_t>& windows) {
    std::pair<size_t, size_t> best{0, 0};
    for (size_t i = 0; i < windows.size();) {
        size_t j = i + 1;
        while (j < windows.size() && windows[j] == windows[j - 1] + kWindow) ++j;
        if ((j - i) * kWindow > best.second) best = {windows[i], (j - i) * kWindow};
        i = j;
    }
    return best;
}

// Feeds the tone at the real rate in 10 ms packets, as the stream brings it.
class ToneFeeder {
  public:
    explicit ToneFeeder(AudioPlayer& player) : player_(player) {}
    // Plays for the given time; collects the delay the player holds after each packet.
    void play(int milliseconds, std::vector<double>* delaysMs) {
        const auto begin = std::chrono::steady_clock::now();
        for (int packet = 0; packet < milliseconds / 10; ++packet) {
            std::vector<uint8_t> bytes;
            for (int i = 0; i < kRate / 100; ++i, ++frame_) {
                const auto sample = static_cast<int16_t>(
                    std::lround(kToneAmplitude * std::sin(2 * kPi * kToneHz * frame_ / kRate)));
                for (int channel = 0; channel < 2; ++channel) {
                    bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
                    bytes.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
                }
            }
            player_.pushBytes(bytes.data(), bytes.size());
            std::this_thread::sleep_until(begin + std::chrono::milliseconds(10 * (packet + 1)));
            if (delaysMs != nullptr) {
                const AudioPlayerStats stats = player_.stats();
                delaysMs->push_back((stats.buffer.bufferedFrames + stats.devicePaddingFrames) *
                                    1000.0 / kRate);
            }
        }
    }

  private:
    AudioPlayer& player_;
    int64_t frame_ = 0;
};

TEST(WasapiPlayer, ToneReachesTheNullSinkAtTheSetVolume) {
    const std::wstring recording = windowsPath(getEnv(L"TOV_AUDIO_RECORDING"));
    ASSERT_FALSE(recording.empty())
        << "TOV_AUDIO_RECORDING is not set: run this through ctest, which starts the sound "
           "server and records its null sink";
    // The recorder takes a moment to join the sink; the recording is live once it grows.
    const auto growing = [&] {
        const int64_t before = fileSize(recording);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return before > 0 && fileSize(recording) > before;
    };
    ASSERT_TRUE(waitUntil(growing)) << "the sink's monitor is not being recorded";

    AudioPlayer player(48000, 2, 1.0f);
    ASSERT_TRUE(player.start(48000, 2));
    ASSERT_TRUE(waitUntil([&] { return player.stats().deviceOpen; }))
        << "the default device did not open; open failures: " << player.stats().openFailures;
    const int64_t offset = fileSize(recording) / 4 * 4;

    ToneFeeder feeder(player);
    std::vector<double> delays;
    feeder.play(1500, &delays);
    player.setVolume(0.5f);
    feeder.play(1500, &delays);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const AudioPlayerStats stats = player.stats();
    player.stop();
    // The recorder lags the sink a little; wait for the whole tone and some silence behind it.
    const int64_t wanted = offset + static_cast<int64_t>(3.5 * kRate) * 4;
    ASSERT_TRUE(waitUntil([&] { return fileSize(recording) >= wanted; }))
        << "the recording stopped growing at " << fileSize(recording) << " bytes";

    std::string raw;
    ASSERT_TRUE(readFile(recording, raw));
    const std::vector<int16_t> left = leftChannel(raw.substr(static_cast<size_t>(offset)));
    const double fullLevel = kToneAmplitude / std::sqrt(2.0);
    const LevelCensus census = takeCensus(left, fullLevel);
    std::string timeline;  // one letter per 10 ms: F full, H half, . silent, ? other
    for (size_t at = 0; at + kWindow <= left.size(); at += kWindow) {
        const double level = rms(left, at, kWindow);
        timeline += level < 100                                           ? '.'
                    : std::abs(level - fullLevel) < 0.03 * fullLevel      ? 'F'
                    : std::abs(level - fullLevel / 2) < 0.015 * fullLevel ? 'H'
                                                                          : '?';
    }
    std::printf("%s\n", timeline.c_str());
    std::printf("player: %llu opens, %llu losses, %llu re-primes, %llu cuts, %llu overflows\n",
                static_cast<unsigned long long>(stats.deviceOpens),
                static_cast<unsigned long long>(stats.deviceLosses),
                static_cast<unsigned long long>(stats.buffer.reprimes),
                static_cast<unsigned long long>(stats.buffer.trims),
                static_cast<unsigned long long>(stats.buffer.overflows));
    std::printf("sink: %zu ms at the full level, %zu ms at half of it, %zu ms of gaps\n",
                census.full.size() * 10, census.half.size() * 10, census.gaps * 10);
    // 1.5 s were sent at each volume. A busy machine can stall Wine long enough for a gap, so
    // two thirds of each must arrive, at exactly the levels sent.
    ASSERT_GE(census.full.size(), 100u) << "the tone did not reach the sink at full volume";
    ASSERT_GE(census.half.size(), 100u) << "the tone did not reach the sink at half volume";
    EXPECT_LT(census.full.back(), census.half.front()) << "the volume changed out of order";
    for (const std::vector<size_t>* windows : {&census.full, &census.half}) {
        const auto [start, length] = longestRun(*windows);
        ASSERT_GE(length, static_cast<size_t>(kRate / 10));
        EXPECT_GT(shareAt(left, start, length, kToneHz), 0.95);
        EXPECT_LT(shareAt(left, start, length, kToneHz * 1.1), 0.01);
    }

    // The delay the player held while fed at the real rate (after the first 200 ms).
    std::vector<double> steady(delays.begin() + std::min<size_t>(20, delays.size()), delays.end());
    std::sort(steady.begin(), steady.end());
    if (!steady.empty()) {
        std::printf(
            "delay held (ring + device): min %.1f ms, median %.1f ms, 99%% %.1f ms, max %.1f "
            "ms over %zu samples; device buffer %u frames; cuts %llu, re-primes %llu\n",
            steady.front(), steady[steady.size() / 2], steady[steady.size() * 99 / 100],
            steady.back(), steady.size(), static_cast<unsigned>(stats.deviceBufferFrames),
            static_cast<unsigned long long>(stats.buffer.trims),
            static_cast<unsigned long long>(stats.buffer.reprimes));
    }
}

TEST(WasapiPlayer, WithoutADeviceItKeepsRetryingAndStopsAtOnce) {
    ASSERT_FALSE(getEnv(L"TOV_AUDIO_NO_DEVICE").empty())
        << "TOV_AUDIO_NO_DEVICE is not set: run this through ctest, which hides every sound "
           "server";
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::duration d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    };
    AudioPlayer player(48000, 2, 1.0f);
    ASSERT_TRUE(player.start(48000, 2));
    ASSERT_TRUE(waitUntil([&] { return player.stats().openFailures >= 1; }));
    const auto firstFailure = Clock::now();
    ASSERT_TRUE(waitUntil([&] { return player.stats().openFailures >= 3; }));
    // Two pauses lie between the first and the third try: it retries, without spinning.
    const auto retrying = ms(Clock::now() - firstFailure);
    EXPECT_GE(retrying, 2 * kDeviceRetryMs * 9 / 10) << "tries follow each other without the pause";
    std::vector<uint8_t> packet(3840, 0);
    player.pushBytes(packet.data(), packet.size());
    const AudioPlayerStats stats = player.stats();
    EXPECT_FALSE(stats.deviceOpen);
    EXPECT_EQ(stats.deviceOpens, 0u);
    EXPECT_TRUE(stats.running);

    // Stopped right as a try has failed, so the whole pause lies ahead: stop cuts it short
    // rather than waiting it out.
    const uint64_t failures = player.stats().openFailures;
    ASSERT_TRUE(waitUntil([&] { return player.stats().openFailures > failures; }));
    const auto before = Clock::now();
    player.stop();
    const auto took = ms(Clock::now() - before);
    std::printf("retries 1 to 3 took %lld ms; stop() during the retry pause took %lld ms\n",
                static_cast<long long>(retrying), static_cast<long long>(took));
    EXPECT_LT(took, kDeviceRetryMs / 2) << "stop waited out the retry pause";
    // Stopped means the thread ended: no further tries.
    const uint64_t atStop = player.stats().openFailures;
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(player.stats().openFailures, atStop);
}

}  // namespace
}  // namespace tov
