#include "audio/realtime_sink.h"

#include <algorithm>
#include <vector>

#include "audio/playout_queue.h"
#include "platform/clock.h"

namespace tov {

namespace {

constexpr int kBufferMs = 20;
constexpr int64_t kPeriodMicros = 10000;

class RealTimeEndpoint : public AudioEndpoint {
  public:
    RealTimeEndpoint(const AudioFormat& format, const RealTimeSink::Tap& tap)
        : format_(format),
          tap_(tap),
          queue_(format.sampleRate, framesForMs(format, kBufferMs)),
          nextEventMicros_(nowMicros()) {}

    uint32_t bufferFrames() const override { return queue_.capacity(); }

    void waitForEvent(uint32_t timeoutMs) override {
        const int64_t now = nowMicros();
        const int64_t until = std::min<int64_t>(nextEventMicros_, now + timeoutMs * 1000);
        if (until > now) sleepMs(static_cast<uint32_t>((until - now + 999) / 1000));
        nextEventMicros_ = std::max(nextEventMicros_ + kPeriodMicros, nowMicros());
    }

    std::optional<uint32_t> padding() override { return queue_.queued(nowMicros()); }

    int16_t* getBuffer(uint32_t frames) override {
        if (frames > queue_.capacity() - queue_.queued(nowMicros())) return nullptr;
        block_.resize(static_cast<size_t>(frames) * static_cast<size_t>(format_.channels));
        return block_.data();
    }

    void releaseBuffer(uint32_t frames) override {
        queue_.add(frames, nowMicros());
        if (tap_) tap_(block_.data(), frames, format_.channels);
    }

  private:
    AudioFormat format_;
    RealTimeSink::Tap tap_;
    PlayoutQueue queue_;
    int64_t nextEventMicros_;
    std::vector<int16_t> block_;
};

}  // namespace

std::unique_ptr<AudioEndpoint> RealTimeSink::open(const AudioFormat& format) {
    return std::make_unique<RealTimeEndpoint>(format, tap_);
}

}  // namespace tov
