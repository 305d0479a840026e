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

// What is sent, sample by sample: the left channel a tone, the right one the sample's number
// (modulo kCount) as an even value centred on zero, which half volume keeps exact. So each
// recorded sample says which one it was, and whatever went missing shows where it went.
constexpr int kCount = 16000;

int16_t toneSample(int64_t n) {
    return static_cast<int16_t>(
        std::lround(kToneAmplitude * std::sin(2 * kPi * kToneHz * n / kRate)));
}

int16_t countSample(int64_t n) {
    return static_cast<int16_t>(2 * (n % kCount) - kCount);
}

struct Recorded {
    std::vector<int16_t> left;
    std::vector<int16_t> right;
};

Recorded channels(const std::string& raw) {
    const auto at = [&](size_t i) {
        return static_cast<int16_t>(static_cast<uint8_t>(raw[i]) | static_cast<uint8_t>(raw[i + 1])
                                                                       << 8);
    };
    Recorded out;
    for (size_t i = 0; i + 3 < raw.size(); i += 4) {
        out.left.push_back(at(i));
        out.right.push_back(at(i + 2));
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

constexpr size_t kWindow = kRate / 100;  // 10 ms: ten whole periods of the tone
constexpr double kFullLevel = kToneAmplitude / 1.41421356237309504880;  // the tone's RMS

// A stretch of sound between two silences (runs of zeros on both channels longer than the
// signal ever has), decoded: the volume it came at and the number of its first sample.
struct Stretch {
    size_t from = 0, to = 0;  // in the recording
    int scale = 0;            // 2 at full volume, 1 at half of it
    int first = 0;            // the number (modulo kCount) of its first sample
    size_t breaks = 0;        // samples whose number does not follow the one before
};

std::vector<Stretch> stretches(const Recorded& r) {
    constexpr size_t kLongestZeros = 8;
    std::vector<Stretch> out;
    const size_t n = r.left.size();
    size_t i = 0;
    while (i < n) {
        // Skip a silence; a short run of zeros is signal.
        size_t zeros = i;
        while (zeros < n && r.left[zeros] == 0 && r.right[zeros] == 0) ++zeros;
        if (zeros - i >= kLongestZeros || zeros == n) {
            i = zeros;
            continue;
        }
        Stretch s;
        s.from = i;
        size_t end = i;
        while (end < n) {
            size_t z = end;
            while (z < n && r.left[z] == 0 && r.right[z] == 0) ++z;
            if (z - end >= kLongestZeros || z == n) break;
            end = z + 1;
        }
        s.to = end;
        // The step between neighbours tells the volume: 2 at full, 1 at half (wraps aside).
        for (size_t k = s.from + 1; k < s.to && s.scale == 0; ++k) {
            const int step = r.right[k] - r.right[k - 1];
            if (step == 1 || step == 2) s.scale = step;
        }
        if (s.scale == 0) s.scale = 2;  // too short to tell: read at full volume
        const auto number = [&](size_t k) {
            return s.scale == 2 ? (r.right[k] + kCount) / 2 : r.right[k] + kCount / 2;
        };
        s.first = number(s.from);
        for (size_t k = s.from + 1; k < s.to; ++k)
            if (number(k) != (number(k - 1) + 1) % kCount) ++s.breaks;
        out.push_back(s);
        i = s.to;
    }
    return out;
}

// Feeds the signal in 10 ms packets as fast as the player takes them: a packet goes in whenever
// the ring holds less than 60 ms, so the player never has cause to cut (it cuts above 90 ms).
// A machine that does not keep time only makes gaps in the sound, never a reason to drop any.
class Feeder {
  public:
    explicit Feeder(AudioPlayer& player) : player_(player) {}

    // False when the player stopped taking sound (a guard against hangs, not a time limit).
    bool play(int milliseconds) {
        const size_t high = kRate * 60 / 1000;
        for (int packet = 0; packet < milliseconds / 10;) {
            if (!waitUntil([&] { return player_.stats().buffer.bufferedFrames < high; }))
                return false;
            while (packet < milliseconds / 10 && player_.stats().buffer.bufferedFrames < high) {
                pushPacket();
                ++packet;
            }
        }
        return true;
    }
    // Until the ring and the device have played everything.
    bool drain() {
        return waitUntil([&] {
            const AudioPlayerStats stats = player_.stats();
            return stats.buffer.bufferedFrames == 0 && stats.devicePaddingFrames == 0;
        });
    }
    int64_t sent() const { return next_; }

  private:
    void pushPacket() {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < kWindow; ++i, ++next_) {
            for (const int16_t sample : {toneSample(next_), countSample(next_)}) {
                bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
                bytes.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
            }
        }
        player_.pushBytes(bytes.data(), bytes.size());
    }

    AudioPlayer& player_;
    int64_t next_ = 0;
};

// 1.5 s at full volume, a pause, 1.5 s at half volume. What must hold however loaded the machine
// is: the player drops nothing, every sample reaches the sink at the volume set when it was
// played, in order, as a clean tone; nothing goes missing while sound flows. Gaps (the sink
// playing silence while Wine or the feeder waited for the processor) are counted, and so is what
// the sound server leaves out when sound resumes after one: it keeps its own time line.
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

    constexpr int kPartMs = 1500;
    Feeder feeder(player);
    ASSERT_TRUE(feeder.play(kPartMs));
    ASSERT_TRUE(feeder.drain());
    const int64_t fullSent = feeder.sent();
    // Silence between the two volumes: the device has played everything, and nothing follows for
    // a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    player.setVolume(0.5f);
    ASSERT_TRUE(feeder.play(kPartMs));
    ASSERT_TRUE(feeder.drain());
    const AudioPlayerStats stats = player.stats();
    std::printf("player: %llu opens, %llu losses, %llu re-primes, %llu cuts, %llu overflows\n",
                static_cast<unsigned long long>(stats.deviceOpens),
                static_cast<unsigned long long>(stats.deviceLosses),
                static_cast<unsigned long long>(stats.buffer.reprimes),
                static_cast<unsigned long long>(stats.buffer.trims),
                static_cast<unsigned long long>(stats.buffer.overflows));
    EXPECT_EQ(stats.buffer.trims + stats.buffer.overflows, 0u)
        << "the player cut sound it was given within its limits";
    EXPECT_EQ(stats.deviceLosses, 0u);

    // The recorder may lag: wait until the last sample sent is there (a guard against hangs,
    // not a time limit: what is missing then is reported below). The player stays open until
    // then: the device said it played everything once it handed it to the sound server, whose
    // own buffer a stop would throw away.
    const int lastNumber = static_cast<int>((feeder.sent() - 1) % kCount);
    Recorded recorded;
    std::vector<Stretch> sound;
    waitUntil(
        [&] {
            std::string raw;
            if (!readFile(recording, raw) || static_cast<int64_t>(raw.size()) < offset)
                return false;
            recorded = channels(raw.substr(static_cast<size_t>(offset)));
            sound = stretches(recorded);
            if (sound.empty()) return false;
            const Stretch& last = sound.back();
            const int end = static_cast<int>((last.first + (last.to - last.from) - 1) % kCount);
            return last.scale == 1 && end == lastNumber && last.to < recorded.left.size();
        },
        30);
    player.stop();
    ASSERT_FALSE(sound.empty()) << "no sound reached the sink";

    size_t fullArrived = 0, halfArrived = 0, breaks = 0, checked = 0;
    bool halfSeen = false;
    std::string gaps;
    for (size_t k = 0; k < sound.size(); ++k) {
        const Stretch& s = sound[k];
        const size_t length = s.to - s.from;
        (s.scale == 2 ? fullArrived : halfArrived) += length;
        breaks += s.breaks;
        EXPECT_FALSE(s.scale == 2 && halfSeen) << "full volume after half, at sample " << s.from;
        halfSeen = halfSeen || s.scale == 1;
        // What the sound server left out as sound began or resumed after a silence.
        const Stretch* before = k > 0 ? &sound[k - 1] : nullptr;
        const int expected =
            before ? (before->first + static_cast<int>(before->to - before->from)) % kCount : 0;
        char line[96];
        std::snprintf(line, sizeof line, " %zu ms (%d samples left out)",
                      (s.from - (before ? before->to : 0)) * 1000 / kRate,
                      ((s.first - expected) % kCount + kCount) % kCount);
        gaps += line;
        // Each whole 10 ms holds a clean tone at the volume the stretch came at.
        const double level = s.scale == 2 ? kFullLevel : kFullLevel / 2;
        for (size_t at = s.from; at + kWindow <= s.to; at += kWindow, ++checked) {
            EXPECT_NEAR(rms(recorded.left, at, kWindow), level, 0.01 * level) << "at " << at;
            EXPECT_GT(shareAt(recorded.left, at, kWindow, kToneHz), 0.95) << "at " << at;
            EXPECT_LT(shareAt(recorded.left, at, kWindow, kToneHz * 1.1), 0.01) << "at " << at;
        }
    }
    std::printf("sink: %zu of %lld samples at full volume, %zu of %lld at half; silences:%s\n",
                fullArrived, static_cast<long long>(fullSent), halfArrived,
                static_cast<long long>(feeder.sent() - fullSent), gaps.c_str());
    EXPECT_EQ(breaks, 0u) << "samples went missing or came twice while sound flowed";
    EXPECT_GT(checked, 0u);
    const Stretch& last = sound.back();
    EXPECT_EQ(last.scale, 1);
    EXPECT_EQ((last.first + (last.to - last.from) - 1) % kCount, lastNumber)
        << "the end of the sound never came";
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
