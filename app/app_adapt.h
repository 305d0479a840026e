// The App's part of fitting the stream to this PC and the link: how often it looks, the control
// loops' settings (tests shorten the holds), and what the tick keeps between seconds.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "adapt/adapt_controller.h"
#include "adapt/pc_load_board.h"
#include "adapt/periodic_ticker.h"
#include "adapt/remembered_levels.h"
#include "adapt/signal_sampler.h"
#include "adapt/size_ladder.h"
#include "core/panel_model.h"

namespace tov {

struct AdaptOptions {
    AdaptConfig config;
    uint32_t tickMs = 1000;
    // A level unchanged this long is where the stream settled: it is kept for this phone and
    // link. Half a minute outlasts a probe's round trip (up, maybe back down) several times.
    int64_t settledMs = 30000;
};

// The adapter's level as the model's fields hold it (nothing where it is the user's own), and
// what it says of it.
struct AdaptLevelFields {
    int32_t bitrate = 0;
    std::string preset;
    int32_t width = 0;
    int32_t height = 0;
    int32_t fps = 0;
    std::string text;
};
AdaptLevelFields adaptLevelOf(const PanelModel& model);
void putAdaptLevel(const AdaptLevelFields& level, PanelModel& model);

// The stream adapter's state. The tick thread owns it; `lock` is held through each tick and by
// the user's switch, so that a switch never meets half a tick.
struct AdaptRun {
    explicit AdaptRun(const AdaptOptions& options) : options(options), controller(options.config) {}

    AdaptOptions options;
    std::mutex lock;
    AdaptController controller;
    SignalSampler sampler;
    PeriodicTicker ticker;
    std::vector<AdaptRung> ladder;
    bool running = false;  // the loops follow a live stream
    // Whose level it is, and what settings.ini holds for them.
    std::string phoneKey;
    bool wifi = false;
    bool phoneKnown = false;
    RememberedLevel saved;
    // The stream's own size and rate, from its configs (stream thread).
    std::atomic<int> streamFps{0};
    // This stream's place on the PC's load board, and its pipeline's totals at the last tick.
    int boardId = 0;
    VideoTotals boardTotals;
    int64_t boardUs = 0;
    // The level of this phone's stream while the panel's pages show another phone (the model
    // holds the shown phone's); the App's model lock guards it.
    AdaptLevelFields aside;
};

}  // namespace tov
