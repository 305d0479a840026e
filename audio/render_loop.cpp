#include "audio/render_loop.h"

#include <memory>

namespace tov {

namespace {

enum class SessionEnd { stopped, lostAfterPlay, lostAtOnce };

SessionEnd renderSession(AudioEndpoint& endpoint, PlaybackBuffer& buffer,
                         const std::atomic<float>& volume, StopSignal& stop, RenderStatus& status) {
    bool passed = false;
    const auto lost = [&] { return passed ? SessionEnd::lostAfterPlay : SessionEnd::lostAtOnce; };
    const PlaybackBuffer::Destination destination = [&endpoint](uint32_t frames) {
        return endpoint.getBuffer(frames);
    };
    while (!stop.raised()) {
        endpoint.waitForEvent(kEventWaitMs);
        const std::optional<uint32_t> padding = endpoint.padding();
        if (!padding) return lost();
        const int64_t written = buffer.fill(*padding, endpoint.bufferFrames(),
                                            volume.load(std::memory_order_relaxed), destination);
        if (written == PlaybackBuffer::kDestinationFailed) return lost();
        if (written > 0) endpoint.releaseBuffer(static_cast<uint32_t>(written));
        status.devicePadding.store(*padding + static_cast<uint32_t>(written));
        passed = true;
    }
    return SessionEnd::stopped;
}

}  // namespace

void renderUntilStopped(AudioOutput& output, PlaybackBuffer& buffer,
                        const std::atomic<float>& volume, StopSignal& stop, RenderStatus& status) {
    const AudioFormat format = buffer.format();
    while (!stop.raised()) {
        std::unique_ptr<AudioEndpoint> endpoint = output.open(format);
        if (!endpoint) {
            ++status.openFailures;
            ++status.retryPauses;
            stop.waitFor(kDeviceRetryMs);
            continue;
        }
        ++status.deviceOpens;
        status.deviceBufferFrames = endpoint->bufferFrames();
        status.deviceOpen = true;
        const SessionEnd end = renderSession(*endpoint, buffer, volume, stop, status);
        endpoint.reset();
        status.deviceOpen = false;
        status.devicePadding = 0;
        if (end == SessionEnd::stopped) break;
        ++status.deviceLosses;
        if (end == SessionEnd::lostAtOnce) {
            ++status.retryPauses;
            stop.waitFor(kDeviceRetryMs);
        }
    }
}

}  // namespace tov
