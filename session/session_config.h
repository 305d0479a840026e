// The Session's waits, limits and local ports. The defaults are the product's values; tests may
// shorten them.
#pragma once

#include <cstdint>

#include "session/stream_connection.h"

namespace tov {

struct SessionConfig {
    uint32_t noAdbPauseMs = 2000;
    uint32_t noPhonePauseMs = 1000;
    uint32_t notStreamingPauseMs = 1500;
    uint32_t forwardFailedPauseMs = 1000;
    uint32_t connectFailedPauseMs = 700;
    // For a while after the app is started, connects are tried this often, so the stream goes
    // live as soon as the app serves.
    uint32_t launchPollMs = 100;
    uint32_t launchPollWindowMs = 3000;
    // How long an app check made before Start stream counts for it. A phone at rest is not asked
    // again every minute (an adb process each time); an app that went meanwhile fails its start,
    // and that checks it again.
    uint32_t appCheckFreshMs = 30 * 60 * 1000;
    // Each forward and activity start.
    uint32_t adbCommandLimitMs = 10000;
    StreamTimings stream;
    // The PC ends of the forwards, in Phone app mode and in No app mode; 0: a free port adb
    // chooses.
    uint16_t appPort = 0;
    uint16_t noAppPort = 0;
};

}  // namespace tov
