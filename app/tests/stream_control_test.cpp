#include "app/stream_control.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tov {
namespace {

// Records every hook call in order, and whether the model lock was free at that moment.
class StreamControlTest : public ::testing::Test {
  protected:
    StreamControlTest() {
        info_.known = true;
        info_.width = 1080;
        info_.height = 2400;
    }

    StreamControl& control() {
        if (control_) return *control_;
        StreamControlHooks h;
        h.pushOptions = [this] { note("push"); };
        h.sendToPhone = [this](const StreamOptionMap& map) {
            note("send");
            sent_.push_back(map);
        };
        h.streaming = [this] {
            note("streaming?");
            return streaming_;
        };
        h.setStreaming = [this](bool on) {
            note(on ? "stream on" : "stream off");
            streaming_ = on;
        };
        h.setSessionNoApp = [this](bool on) { note(on ? "session noapp" : "session app"); };
        h.resetVideo = [this] { note("reset video"); };
        h.stopAudio = [this] { note("stop audio"); };
        h.applyInput = [this] { note("apply input"); };
        h.saveSettings = [this] { note("save"); };
        h.refresh = [this] { note("refresh"); };
        h.helperScreen = [this] {
            note("screen?");
            return helperScreen_;
        };
        control_.emplace(lock_, model_, info_, std::move(h));
        return *control_;
    }

    void note(const std::string& what) {
        calls_.push_back(what);
        if (!lock_.try_lock()) {
            lockedCalls_.push_back(what);
        } else {
            lock_.unlock();
        }
    }

    // The calls that change something outside the model (questions left out).
    std::vector<std::string> actions() const {
        std::vector<std::string> out;
        for (const auto& c : calls_) {
            if (c.back() != '?') out.push_back(c);
        }
        return out;
    }

    std::mutex lock_;
    PanelModel model_;
    PhoneInfo info_;
    ScreenSize helperScreen_;
    bool streaming_ = false;
    std::vector<std::string> calls_;
    std::vector<std::string> lockedCalls_;
    std::vector<StreamOptionMap> sent_;
    std::optional<StreamControl> control_;
};

TEST_F(StreamControlTest, SwitchingModesRestartsAWantedStreamInTheNewMode) {
    streaming_ = true;
    model_.presets = {{"sharp", "Sharp", 60, 1920, 1080}};
    model_.note = "note";
    model_.audioNote = "audio note";
    control().setNoApp(true);
    EXPECT_TRUE(model_.noApp);
    EXPECT_TRUE(model_.presets.empty());
    EXPECT_TRUE(model_.note.empty());
    EXPECT_TRUE(model_.audioNote.empty());
    const std::vector<std::string> expected = {"stream off",  "session noapp", "push",
                                               "reset video", "stop audio",    "stream on",
                                               "apply input"};
    EXPECT_EQ(actions(), expected);
    EXPECT_TRUE(lockedCalls_.empty());

    // The same mode again changes nothing.
    calls_.clear();
    control().setNoApp(true);
    EXPECT_TRUE(calls_.empty());

    // A stream that was not wanted stays off.
    streaming_ = false;
    control().setNoApp(false);
    EXPECT_FALSE(model_.noApp);
    EXPECT_FALSE(streaming_);
    const std::vector<std::string> back = {"stream off",  "session app", "push",
                                           "reset video", "stop audio",  "apply input"};
    EXPECT_EQ(actions(), back);
}

TEST_F(StreamControlTest, RefusedValuesChangeNothing) {
    const std::pair<const char*, const char*> refused[] = {
        {"fps", "0"},
        {"fps", "241"},
        {"fps", "30fps"},
        {"fps", ""},
        {"fps", "99999999999999999999"},
        {"fit", "3"},
        {"fit", "-1"},
        {"fit", ""},
        {"bitrate", "0"},
        {"bitrate", "2001"},
        {"bitrate", "1.5"},
        {"keyframe", ""},
        {"keyframe", "abc"},
        {"keyframe", "3601"},
        {"keyframe", "-1"},
        {"keyframe", "nan"},
        {"keyframe", "2s"},
        {"aspect", "5"},
        {"aspect", "-1"},
        {"aspect", "two"},
        {"ratio", "11"},
        {"ratio", ""},
        {"ratio", "1:0"},
        {"width", "8193"},
        {"width", "-2"},
        {"width", "12px"},
        {"height", "9000"},
        {"volume", "1"},
        {"", ""},
    };
    model_.noApp = true;
    model_.customWidth = 1280;
    model_.customHeight = 720;
    for (const auto& [key, value] : refused) {
        calls_.clear();
        EXPECT_FALSE(control().setNoAppOption(key, value)) << key << "=" << value;
        EXPECT_TRUE(actions().empty()) << key << "=" << value;
    }
    EXPECT_EQ(model_.fps, 60);
    EXPECT_EQ(model_.fit, 0);
    EXPECT_EQ(model_.mbps, 40);
    EXPECT_EQ(model_.keyframe, "10");
    EXPECT_EQ(model_.aspect, 0);
    EXPECT_EQ(model_.ratio, "");
    EXPECT_EQ(model_.customWidth, 1280);
    EXPECT_EQ(model_.customHeight, 720);
}

TEST_F(StreamControlTest, AcceptedValuesReachTheModelPhoneAndFile) {
    struct Case {
        const char *key, *value;
        StreamOptionMap sent;  // in Phone app mode
    };
    const Case cases[] = {
        {"fps", "30", {{"fps", "30"}}},
        {"fps", " +240", {{"fps", "240"}}},
        {"fit", "01", {{"fit", "1"}}},
        {"fit", "2", {{"fit", "2"}}},
        {"keyframe", "0.5", {{"keyframe", "0.5"}}},
        {"keyframe", "3600", {{"keyframe", "3600"}}},
        {"bitrate", "25", {}},  // the bitrate and codec are not sent on their own
        {"codec", "hevc", {}},
    };
    for (const Case& c : cases) {
        calls_.clear();
        sent_.clear();
        EXPECT_TRUE(control().setNoAppOption(c.key, c.value)) << c.key;
        if (c.sent.empty()) {
            EXPECT_TRUE(sent_.empty()) << c.key;
        } else {
            ASSERT_EQ(sent_.size(), 1u) << c.key;
            EXPECT_EQ(sent_[0], c.sent) << c.key;
        }
        const std::vector<std::string> order =
            c.sent.empty() ? std::vector<std::string>{"push", "save", "refresh"}
                           : std::vector<std::string>{"push", "send", "save", "refresh"};
        EXPECT_EQ(actions(), order) << c.key;
    }
    EXPECT_EQ(model_.fps, 240);
    EXPECT_EQ(model_.fit, 2);
    EXPECT_EQ(model_.keyframe, "3600");
    EXPECT_EQ(model_.mbps, 25);
    EXPECT_EQ(model_.noAppCodec, "hevc");
    EXPECT_TRUE(lockedCalls_.empty());  // no hook ever ran under the model lock
}

TEST_F(StreamControlTest, InNoAppModeThePhoneGetsTheWholeMap) {
    model_.noApp = true;
    model_.preset = "custom";
    EXPECT_TRUE(control().setNoAppOption("bitrate", "25"));
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(sent_[0].at("bitrate"), "25000000");
    EXPECT_EQ(sent_[0].at("fps"), "60");
    EXPECT_EQ(sent_[0].count("preset"), 0u);
    EXPECT_EQ(sent_[0].size(), 14u);
}

TEST_F(StreamControlTest, SizeFollowsTheShape) {
    // A typed width switches to the custom size and keeps the height.
    model_.aspect = kShape21x9;
    model_.customHeight = 1080;
    EXPECT_TRUE(control().setNoAppOption("width", "2560"));
    EXPECT_EQ(model_.aspect, kShapeCustomSize);
    EXPECT_EQ(model_.customWidth, 2560);
    EXPECT_EQ(model_.customHeight, 1080);
    ASSERT_EQ(sent_.size(), 1u);
    const StreamOptionMap widthSent = {
        {"width", "2560"}, {"height", "1080"}, {"shape", "2.3704"}, {"shapeName", "2.37:1"}};
    EXPECT_EQ(sent_[0], widthSent);

    // An upright custom size stays upright (only made even).
    sent_.clear();
    model_.customHeight = 1280;
    EXPECT_TRUE(control().setNoAppOption("width", "721"));
    EXPECT_EQ(model_.customWidth, 720);
    EXPECT_EQ(model_.customHeight, 1280);
    EXPECT_EQ(sent_[0].at("width"), "720");
    EXPECT_EQ(sent_[0].at("shape"), "1.7778");
    EXPECT_TRUE(control().setNoAppOption("height", "1600"));
    EXPECT_EQ(model_.customWidth, 720);

    // A fixed shape with no height takes the phone's shorter side (the probe's, here).
    model_.customHeight = 0;
    EXPECT_TRUE(control().setNoAppOption("aspect", "2"));
    EXPECT_EQ(model_.customHeight, 1080);
    EXPECT_EQ(model_.customWidth, 1920);
    const StreamOptionMap aspectSent = {
        {"width", "1920"}, {"height", "1080"}, {"shape", "1.7778"}, {"shapeName", "16:9"}};
    EXPECT_EQ(sent_.back(), aspectSent);

    // The input helper's screen wins over the probe's; widths come out even.
    helperScreen_ = {720, 1600};
    model_.customHeight = 0;
    EXPECT_TRUE(control().setNoAppOption("ratio", "2.35"));
    EXPECT_EQ(model_.aspect, kShapeTyped);
    EXPECT_EQ(model_.ratio, "2.35");
    EXPECT_EQ(model_.customHeight, 720);
    EXPECT_EQ(model_.customWidth, 1692);  // 720 x 2.35
    model_.customHeight = 1003;
    EXPECT_TRUE(control().setNoAppOption("ratio", "2.35"));
    EXPECT_EQ(model_.customWidth, 2356);  // 2357.05, made even

    // With no screen size known at all, 1080 stands in.
    helperScreen_ = {};
    info_.width = info_.height = 0;
    model_.customHeight = 0;
    EXPECT_TRUE(control().setNoAppOption("aspect", "3"));
    EXPECT_EQ(model_.customHeight, 1080);
    EXPECT_EQ(model_.customWidth, 1440);

    // The phone's own shape sizes only a set height, from the phone's ratio.
    info_.width = 1080;
    info_.height = 2400;
    model_.customHeight = 999;
    EXPECT_TRUE(control().setNoAppOption("aspect", "1"));
    EXPECT_EQ(model_.customWidth, 2220);  // 999 x 2.2222 = 2220.0
    model_.customHeight = 0;
    model_.customWidth = 77;
    sent_.clear();
    EXPECT_TRUE(control().setNoAppOption("aspect", "1"));
    EXPECT_EQ(model_.customWidth, 77);
    EXPECT_EQ(model_.customHeight, 0);
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(sent_[0], (StreamOptionMap{{"aspect", "1"}}));

    // A custom size with a side missing has no shape: only the taken value goes.
    model_.aspect = kShape16x9;
    model_.customHeight = 0;
    sent_.clear();
    EXPECT_TRUE(control().setNoAppOption("width", ""));
    EXPECT_EQ(model_.customWidth, 0);
    EXPECT_EQ(sent_[0], (StreamOptionMap{{"width", "0"}}));
    EXPECT_TRUE(lockedCalls_.empty());
}

TEST_F(StreamControlTest, MatchPhoneIsSavedButNotSent) {
    EXPECT_TRUE(control().setNoAppOption("matchphone", "1"));
    EXPECT_TRUE(model_.matchPhone);
    EXPECT_EQ(actions(), (std::vector<std::string>{"save", "refresh"}));
    EXPECT_TRUE(control().setNoAppOption("matchphone", "yes"));
    EXPECT_FALSE(model_.matchPhone);
}

TEST_F(StreamControlTest, TouchesMapThroughTheHelpersScreen) {
    model_.width = 1920;
    model_.height = 1080;
    helperScreen_ = {2400, 1080};
    float x = 0.5f, y = 0.05f;
    control().mapToPhone(x, y);
    EXPECT_FLOAT_EQ(x, 0.5f);
    EXPECT_FLOAT_EQ(y, 0.0f);
    // Without the helper's screen the point stays (the probe's size is not used here).
    helperScreen_ = {};
    x = 0.5f, y = 0.05f;
    control().mapToPhone(x, y);
    EXPECT_FLOAT_EQ(y, 0.05f);
    EXPECT_TRUE(lockedCalls_.empty());
}

}  // namespace
}  // namespace tov
