// A live stream under every fault the phone's side can throw at it: the App keeps running, the
// state says what happened, and the stream comes back by itself once the fault is over.
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

}  // namespace
}  // namespace tov::test
