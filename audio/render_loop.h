// The render thread's work: keep the current default device fed from the playback buffer until
// stopped, reopening the device when it is lost and retrying when none opens.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/audio_output.h"
#include "audio/playback_buffer.h"
#include "audio/stop_signal.h"

namespace tov {

// Pause before the next try when no device opens.
constexpr int kDeviceRetryMs = 500;
// Longest wait for a device event before the loop looks again.
constexpr uint32_t kEventWaitMs = 100;

// Written by the render thread, readable from any thread.
struct RenderStatus {
    std::atomic<bool> deviceOpen{false};
    std::atomic<uint32_t> deviceBufferFrames{0};  // of the open device
    std::atomic<uint32_t> devicePadding{0};       // frames queued in the device after the last pass
    std::atomic<uint64_t> deviceOpens{0};
    std::atomic<uint64_t> openFailures{0};
    std::atomic<uint64_t> deviceLosses{0};
    std::atomic<uint64_t> retryPauses{0};  // waits before trying a device again
};

// Runs until stop is raised. A device lost during play is reopened at once; one that fails
// before a single pass succeeds is treated like one that does not open, so a broken device
// cannot spin the thread.
void renderUntilStopped(AudioOutput& output, PlaybackBuffer& buffer,
                        const std::atomic<float>& volume, StopSignal& stop, RenderStatus& status);

}  // namespace tov
