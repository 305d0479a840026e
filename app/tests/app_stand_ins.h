// Stand-ins for the App's Windows-only ports, for tests that run the real App natively: a video
// port that counts what reaches it and keeps its events so tests can click and type, a panel
// port that draws nothing, and the parts that put them together with the phone simulator.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "app/app.h"
#include "app/app_ports.h"
#include "tests/support/test_support.h"

namespace tov::test {

struct VideoCounts {
    std::atomic<int> configs{0};
    std::atomic<int> packets{0};
    std::atomic<int> resets{0};
    // The size of the last configuration.
    std::atomic<int> width{0};
    std::atomic<int> height{0};
};

class CountingVideoPort final : public VideoPort {
  public:
    CountingVideoPort(VideoCounts& counts, VideoEvents events)
        : events(std::move(events)), counts_(counts) {}
    bool create(std::string&) override { return true; }
    void destroy() override {}
    void show(bool on) override { visible = on; }
    std::atomic<bool> visible{false};
    void setTitle(const std::string& text) override {
        std::lock_guard<std::mutex> lock(titleLock_);
        title_ = text;
    }
    std::string title() const {
        std::lock_guard<std::mutex> lock(titleLock_);
        return title_;
    }
    // Where the user put the window (UI thread).
    std::optional<Rect> userPlacement() const override { return placement; }
    void setUserPlacement(std::optional<Rect> window) override { placement = window; }
    std::optional<Rect> placement;
    void setOnTop(bool) override {}
    bool hevcUsable() const override { return false; }
    void onConfig(int width, int height, int, int, const uint8_t*, size_t) override {
        counts_.width = width;
        counts_.height = height;
        ++counts_.configs;
    }
    void onPacket(const uint8_t*, size_t, int64_t, bool) override { ++counts_.packets; }
    void reset() override { ++counts_.resets; }
    void expectStream(int, int, int) override {}
    VideoStats stats() const override { return statsSource ? statsSource() : VideoStats{}; }
    bool captured() const override { return false; }
    void setCapturePossible(bool) override {}
    void setPhoneScreen(int, int) override {}
    void setDeviceMode(bool) override {}
    void releaseCapture() override {}
    void toggleFullscreen() override {}
    void grabPicture(std::function<void(std::optional<Bitmap>)> done) override {
        done(std::nullopt);
    }

    VideoEvents events;
    // What stats() reports, for tests of what the App does with the pipeline's figures.
    std::function<VideoStats()> statsSource;

  private:
    VideoCounts& counts_;
    mutable std::mutex titleLock_;
    std::string title_;
};

class NullPanelPort final : public PanelPort {
  public:
    bool create(std::function<PanelModel()>, App&) override { return true; }
    void refresh() override {}
    void close() override {}
};

// The App's parts for a test against the phone simulator: the stand-in ports, the simulator's adb
// beside the test programs (while *adbPresent holds, when given), `package` as the carried phone
// app, and settings, shortcuts and the package copy in `folder`. The last video port made is
// left in `videoPort`.
AppParts standInParts(VideoCounts& video, CountingVideoPort*& videoPort, const TempDir& folder,
                      const std::string& package, const std::atomic<bool>* adbPresent = nullptr);

// Local ports of their own for a stream and its input link, so that a Tovenmar or a simulator
// running beside the tests on the product's ports, or another phone's stream, is never reached
// instead.
void ownPorts(SessionConfig& session, InputLinkTimings& inputLink);

// Polls the App's model until `done` holds or the limit passes; the last model built.
PanelModel modelWhen(App& app, const std::function<bool(const PanelModel&)>& done,
                     std::chrono::milliseconds limit);

}  // namespace tov::test
