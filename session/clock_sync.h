// The phone-to-PC clock offset, learned from ping/pong exchanges. Only the fastest exchanges count:
// a slow round trip says little about when the phone read its clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>

namespace tov {

class ClockSync {
  public:
    // Samples this much slower than the best one still refresh the offset.
    static constexpr int64_t kSlackMicros = 200;

    // A new connection: nothing measured yet.
    void reset();
    // One pong: `sentPc` is the echoed PC time of the ping, `phone` the phone's clock when it
    // answered, `nowPc` the PC clock on arrival.
    void onPong(int64_t sentPc, int64_t phone, int64_t nowPc);

    // False until synced; otherwise pcUs = phoneUs - offset.
    bool toPcTime(int64_t phoneUs, int64_t* pcUs) const;

    bool synced() const { return synced_.load(std::memory_order_acquire); }
    // Phone microseconds minus PC microseconds.
    int64_t offset() const { return offset_.load(std::memory_order_relaxed); }
    // The largest int64 until a round trip was kept.
    int64_t smallestRoundTrip() const { return smallest_.load(std::memory_order_relaxed); }
    uint32_t pongCount() const { return pongs_.load(std::memory_order_relaxed); }

    // How far the offset can be from the truth once synced: half the round trip of the sample
    // it came from, which is at most the smallest round trip plus the slack.
    static int64_t uncertaintyFor(int64_t smallestRoundTrip) {
        return (smallestRoundTrip + kSlackMicros) / 2 + 1;
    }

  private:
    std::atomic<int64_t> offset_{0};
    std::atomic<bool> synced_{false};
    std::atomic<int64_t> smallest_{std::numeric_limits<int64_t>::max()};
    std::atomic<uint32_t> pongs_{0};
    bool kept_ = false;  // loop thread only
};

}  // namespace tov
