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
#include "app/tests/app_stand_ins.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/control_client.h"

namespace tov::test {

using namespace std::chrono_literals;

// The user's choices the fault tests make first and check last.
constexpr int32_t kUserBitrate = 7300000;
constexpr float kUserSpeed = 2.5f;
constexpr uint8_t kUserHomeModifiers = 0x04;  // Left Shift
constexpr uint16_t kUserHomeKey = 0x24;

class FaultTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    virtual AppParts parts();
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
