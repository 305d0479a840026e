// A live stream under every fault the phone's side can throw at it: the App keeps running, the
// state says what happened, and the stream comes back by itself once the fault is over; a sound
// device that is slow to open never holds up the panel.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/tests/faults/fault_rig.h"

namespace tov::test {
namespace {

TEST_F(FaultTest, StreamSurvivesDropsGarbageStallsAndUnplugging) {
    ASSERT_TRUE(startApp());
    streamFromPhone();
    if (HasFatalFailure()) return;

    // Dropped: the connection ends, the loop connects again without a new Start stream.
    size_t connections = optionsSent();
    size_t waits = logCount("link: waiting for app (");
    ASSERT_EQ(sim_.ask("stream p drop").empty(), false);
    EXPECT_TRUE(waitFor([&] { return optionsSent() > connections; }, 10s));
    EXPECT_EQ(stateWhen(LinkState::Live, 10s).linkState, LinkState::Live);
    EXPECT_GT(logCount("link: waiting for app ("), waits);
    EXPECT_TRUE(videoFlows(10s));

    // Malformed packets are dropped one by one; the connection stays.
    connections = optionsSent();
    ASSERT_TRUE(sim_.ok("stream p malformed"));
    EXPECT_TRUE(videoFlows(10s));
    EXPECT_EQ(optionsSent(), connections);
    EXPECT_EQ(app_->buildModel().linkState, LinkState::Live);

    // A packet of exactly the largest size is taken; the connection stays.
    ASSERT_TRUE(sim_.ok("stream p maxsize"));
    EXPECT_TRUE(videoFlows(10s));
    EXPECT_EQ(optionsSent(), connections);

    // One byte more ends the connection; the next one streams again.
    waits = logCount("link: waiting for app (");
    ASSERT_TRUE(sim_.ok("stream p overlong"));
    EXPECT_TRUE(waitFor([&] { return optionsSent() > connections; }, 10s));
    EXPECT_GT(logCount("link: waiting for app ("), waits);
    EXPECT_EQ(stateWhen(LinkState::Live, 10s).linkState, LinkState::Live);
    EXPECT_TRUE(videoFlows(10s));

    // Silence (not even pongs) ends the connection after the silence limit, and the loop
    // connects again at once; once the phone talks again the stream is back.
    waits = logCount("link: waiting for app (");
    connections = optionsSent();
    ASSERT_TRUE(sim_.ok("stream p stall"));
    EXPECT_TRUE(waitFor([&] { return logCount("link: waiting for app (") > waits; }, 15s));
    EXPECT_TRUE(waitFor([&] { return optionsSent() > connections; }, 10s));
    EXPECT_TRUE(app_->buildModel().streaming);
    ASSERT_TRUE(sim_.ok("stream p resume"));
    EXPECT_EQ(stateWhen(LinkState::Live, 20s).linkState, LinkState::Live);
    EXPECT_TRUE(videoFlows(10s));

    // Unplugged mid-stream: no device, the wish to stream stays; plugged back: live again.
    ASSERT_TRUE(sim_.ok("unplug p usb"));
    PanelModel model = stateWhen(LinkState::NoDevice, 15s);
    EXPECT_EQ(model.linkState, LinkState::NoDevice);
    EXPECT_TRUE(model.streaming);
    EXPECT_GT(video_.resets.load(), 0);
    ASSERT_TRUE(sim_.ok("plug p usb"));
    model = stateWhen(LinkState::Live, 30s);
    EXPECT_EQ(model.linkState, LinkState::Live) << model.statusText;
    EXPECT_TRUE(videoFlows(10s));

    stopAppKeepingUserFiles();
}

TEST_F(FaultTest, InputHelperComesBackAfterDyingOrAnsweringAnOldVersion) {
    ASSERT_TRUE(startApp());
    streamFromPhone();
    if (HasFatalFailure()) return;
    ASSERT_EQ(modelWhen([](const PanelModel& m) { return m.inputState == 2; }, 20s).inputState, 2);

    // Killed: started again, and clicks reach the phone once more.
    const size_t starts = logCount("input: started helper");
    ASSERT_TRUE(sim_.ok("helper p kill"));
    EXPECT_TRUE(waitFor([&] { return logCount("input: started helper") > starts; }, 15s));
    EXPECT_EQ(modelWhen([](const PanelModel& m) { return m.inputState == 2; }, 20s).inputState, 2);
    ASSERT_TRUE(sim_.ok("clear p"));
    videoPort_->events.touch(0, 0, 0.25f, 0.75f);
    videoPort_->events.touch(2, 0, 0.25f, 0.75f);
    EXPECT_TRUE(waitFor(
        [&] {
            for (const std::string& e : sim_.events("p")) {
                if (e.find("touch action=2") != std::string::npos) return true;
            }
            return false;
        },
        10s));

    // An outdated helper is refused with the log line and never counts as up; the stream is
    // untouched. A current one afterwards is taken.
    ASSERT_TRUE(sim_.ok("phone p helperVersion=10"));
    ASSERT_TRUE(sim_.ok("helper p kill"));
    EXPECT_TRUE(
        waitFor([&] { return logCount("input: helper version 10, expected 11") > 0; }, 15s));
    EXPECT_NE(app_->buildModel().inputState, 2);
    EXPECT_EQ(app_->buildModel().linkState, LinkState::Live);
    ASSERT_TRUE(sim_.ok("phone p helperVersion=11"));
    EXPECT_EQ(modelWhen([](const PanelModel& m) { return m.inputState == 2; }, 30s).inputState, 2);

    stopAppKeepingUserFiles();
}

// A sound output whose device takes until the test lets it go to open.
class SlowDevice {
  public:
    std::unique_ptr<AudioOutput> makeOutput() { return std::make_unique<Output>(*this); }
    bool waitUntilOpening() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 60s, [this] { return opening_; });
    }
    void letGo() {
        {
            std::lock_guard lock(mutex_);
            letGo_ = true;
        }
        changed_.notify_all();
    }

  private:
    class Output final : public AudioOutput {
      public:
        explicit Output(SlowDevice& device) : device_(device) {}
        std::unique_ptr<AudioEndpoint> open(const AudioFormat&) override {
            std::unique_lock lock(device_.mutex_);
            device_.opening_ = true;
            device_.changed_.notify_all();
            device_.changed_.wait_for(lock, 30s, [this] { return device_.letGo_; });
            return nullptr;
        }

      private:
        SlowDevice& device_;
    };

    std::mutex mutex_;
    std::condition_variable changed_;
    bool opening_ = false;
    bool letGo_ = false;
};

class SlowSoundTest : public FaultTest {
  protected:
    AppParts parts() override {
        AppParts p = FaultTest::parts();
        p.audioOutput = [this] { return device_.makeOutput(); };
        return p;
    }
    void TearDown() override {
        device_.letGo();
        FaultTest::TearDown();
    }

    SlowDevice device_;
};

// The phone turns the sound off while the sound device is still opening: stopping the player
// waits for its render thread, and the panel's model build goes on meanwhile.
TEST_F(SlowSoundTest, StoppingTheSoundNeverHoldsTheModelLock) {
    ASSERT_TRUE(startApp());
    streamFromPhone();
    ASSERT_TRUE(device_.waitUntilOpening());

    app_->setAudio(false);
    ASSERT_TRUE(waitFor(
        [&] {
            for (const auto& options : sim_.options("p")) {
                const auto audio = options.find("audio");
                if (audio != options.end() && audio->second == "0") return true;
            }
            return false;
        },
        20s));
    std::this_thread::sleep_for(300ms);  // the phone's report arrives and is being handled
    std::atomic<bool> built{false};
    std::thread ui([&] {
        EXPECT_FALSE(app_->buildModel().audio);
        built = true;
    });
    EXPECT_TRUE(waitFor([&] { return built.load(); }, 10s));  // the device is still opening
    device_.letGo();
    ui.join();
    EXPECT_FALSE(modelWhen([](const PanelModel& m) { return !m.audioRunning; }, 10s).audioRunning);
    stopAppKeepingUserFiles();
}

}  // namespace
}  // namespace tov::test
