// What every fault test shares: the real App with stand-in video and panel ports, the real adb
// stand-in and simulator daemon, a private LOCALAPPDATA with the log in it, and the user's own
// settings and shortcuts, which no fault may lose.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/app.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/control_client.h"

namespace tov::test {

using namespace std::chrono_literals;

struct VideoCounts {
    std::atomic<int> configs{0};
    std::atomic<int> packets{0};
    std::atomic<int> resets{0};
};

// Counts what reaches the video side; keeps the events so that tests can click.
class CountingVideoPort final : public VideoPort {
  public:
    CountingVideoPort(VideoCounts& counts, VideoEvents events)
        : events(std::move(events)), counts_(counts) {}
    bool create(std::string&) override { return true; }
    void destroy() override {}
    void show(bool) override {}
    void setOnTop(bool) override {}
    bool hevcUsable() const override { return false; }
    void onConfig(int, int, int, int, const uint8_t*, size_t) override { ++counts_.configs; }
    void onPacket(const uint8_t*, size_t, int64_t, bool) override { ++counts_.packets; }
    void reset() override { ++counts_.resets; }
    VideoStats stats() const override { return {}; }
    bool captured() const override { return false; }
    void setCapturePossible(bool) override {}
    void setPhoneScreen(int, int) override {}
    void setDeviceMode(bool) override {}
    void releaseCapture() override {}
    void toggleFullscreen() override {}

    VideoEvents events;

  private:
    VideoCounts& counts_;
};

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);

// The user's choices the fault tests make first and check last.
constexpr int32_t kUserBitrate = 7300000;
constexpr float kUserSpeed = 2.5f;
constexpr uint8_t kUserHomeModifiers = 0x04;  // Left Shift
constexpr uint16_t kUserHomeKey = 0x24;

class FaultTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    AppParts parts();
    // Starts the App and makes the user's choices; false (with a failure noted) otherwise.
    bool startApp();
    // Shuts the App down and checks that settings.ini and shortcuts.ini still hold the choices.
    void stopAppKeepingUserFiles();

    PanelModel modelWhen(const std::function<bool(const PanelModel&)>& done,
                         std::chrono::milliseconds limit);
    PanelModel stateWhen(LinkState state, std::chrono::milliseconds limit);
    // Adds the phone "p" and streams from it until video flows.
    void streamFromPhone();
    bool videoFlows(std::chrono::milliseconds limit);

    std::string logText() const;
    size_t logCount(const std::string& part) const;
    size_t optionsSent() const { return sim_.options("p").size(); }

    TempDir dir_;
    std::unique_ptr<ScopedEnv> localAppData_;
    std::string package_;
    phonesim::PhoneSimulator sim_;
    VideoCounts video_;
    CountingVideoPort* videoPort_ = nullptr;
    std::atomic<bool> adbPresent_{true};
    std::unique_ptr<App> app_;
};

}  // namespace tov::test
