// Several phones at once through the whole App and the phone simulator: two phones with
// different clips stream side by side, each into its own window, a touch reaches only the phone
// whose window it was made in unless the user sends input to every phone, the sound follows the
// window worked in, and one phone unplugged leaves the other's stream untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/tests/app_stand_ins.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/control_client.h"

namespace tov {
namespace {

using namespace std::chrono_literals;
using test::CountingVideoPort;
using test::VideoCounts;
using test::waitFor;

const std::string kMedia = TOV_TEST_MEDIA_DIR;

class AppPhonesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(readFile(widen(kMedia + "/phone-app-stand-in.apk"), package_));
        std::string error;
        ASSERT_TRUE(sim_.start("", &error)) << error;
    }
    void TearDown() override { sim_.stop(); }

    // Each window counts what reaches it on its own.
    AppParts parts() {
        CountingVideoPort* ignored = nullptr;
        AppParts p = test::standInParts(shared_, ignored, dir_, package_);
        p.makeVideo = [this](VideoEvents events) {
            auto port =
                std::make_unique<CountingVideoPort>(counts_.emplace_back(), std::move(events));
            ports_.push_back(port.get());
            return port;
        };
        const uint16_t chosenPort = p.session.appPort;
        p.phoneStreamParts = [chosenPort](const std::string&, PhoneStreamParts& own) {
            do {
                test::ownPorts(own.session, own.inputLink);
            } while (own.session.appPort == chosenPort);
        };
        return p;
    }

    std::string package_;
    test::TempDir dir_;
    phonesim::PhoneSimulator sim_;
    VideoCounts shared_;
    std::deque<VideoCounts> counts_;
    std::vector<CountingVideoPort*> ports_;
};

TEST_F(AppPhonesTest, TwoPhonesStreamAtOnceEachInItsOwnWindowAndOneUnpluggedLeavesTheOther) {
    ASSERT_TRUE(sim_.ok("phone a usb=R58MSEVA01 model=SM-A525F clip=" + kMedia +
                        "/phone_h264_320x640.h264"));
    ASSERT_TRUE(sim_.ok("phone b usb=R58MSEVB01 model=SM-B700X clip=" + kMedia +
                        "/phone_h264_640x360.h264"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    ASSERT_TRUE(waitFor([&] { return app.phoneMonitor().phones().size() == 2; }, 20s));
    ASSERT_TRUE(waitFor([&] { return !app.phoneMonitor().choice().key.empty(); }, 20s));
    const std::string chosenKey = app.phoneMonitor().choice().key;
    PhoneEntry other;
    for (const PhoneEntry& phone : app.phoneMonitor().phones()) {
        if (phone.key != chosenKey) other = phone;
    }
    const bool aChosen = app.phoneMonitor().choice().serial == "R58MSEVA01";
    const std::string chosenSim = aChosen ? "a" : "b";
    const std::string otherSim = aChosen ? "b" : "a";

    // The chosen phone as today, the other in a window of its own titled with its name.
    app.startOrStop();
    app.startPhone(other.key);
    PhoneStream* second = app.phoneStream(other.key);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(ports_.size(), 2u);
    EXPECT_EQ(ports_[1]->title(), "Tovenmar \u2014 " + other.name);
    PhoneStream& first = *app.phoneStream(kChosenPhone);
    ASSERT_TRUE(waitFor(
        [&] { return first.linkState == LinkState::Live && second->linkState == LinkState::Live; },
        40s));
    ASSERT_TRUE(waitFor([&] { return counts_[0].packets > 10 && counts_[1].packets > 10; }, 20s));
    // Each window shows its own phone's clip.
    EXPECT_EQ(counts_[0].width.load(), aChosen ? 320 : 640);
    EXPECT_EQ(counts_[1].width.load(), aChosen ? 640 : 320);
    const PanelModel model = app.buildModel();
    EXPECT_EQ(model.phoneLinks.size(), 2u);
    // Beside another phone's window, the chosen phone's is named after its phone too.
    EXPECT_EQ(ports_[0]->title(), "Tovenmar \u2014 " + app.phoneMonitor().choice().name);
    // The pages show the phone selected in the list: its stream, not the chosen one's.
    app.selectPhone(other.key);
    PanelModel shown = app.buildModel();
    EXPECT_EQ(shown.shownKey, other.key);
    EXPECT_EQ(shown.linkState, LinkState::Live);
    EXPECT_EQ(shown.width, aChosen ? 640 : 320);
    app.selectPhone(kChosenPhone);
    EXPECT_EQ(app.buildModel().width, aChosen ? 320 : 640);

    // A touch in the second window reaches its phone only, and its sound is the one heard.
    const auto touched = [&](const std::string& simPhone, const std::string& what) {
        const std::vector<std::string> events = sim_.events(simPhone);
        return std::any_of(events.begin(), events.end(), [&](const std::string& line) {
            return line.find(what) != std::string::npos;
        });
    };
    ASSERT_TRUE(waitFor([&] { return second->inputLink.state() == InputLink::kReady; }, 30s));
    ports_[1]->events.touch(0, 0, 0.5f, 0.5f);
    ports_[1]->events.touch(2, 0, 0.5f, 0.5f);
    EXPECT_TRUE(waitFor([&] { return touched(otherSim, "touch action=2"); }, 10s));
    EXPECT_FALSE(touched(chosenSim, "touch"));
    EXPECT_TRUE(first.soundMuted());
    EXPECT_FALSE(second->soundMuted());

    // Group control: a touch in the first window reaches both phones at the same relative point.
    ASSERT_TRUE(waitFor([&] { return first.inputLink.state() == InputLink::kReady; }, 30s));
    app.setEveryPhone(true);
    ports_[0]->events.touch(0, 0, 0.25f, 0.75f);
    ports_[0]->events.touch(2, 0, 0.25f, 0.75f);
    std::string down;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const std::string& line : sim_.events(chosenSim)) {
                if (line.find("touch action=0") != std::string::npos) down = line;
            }
            return !down.empty();
        },
        10s));
    down = down.substr(down.find("touch action=0"));
    EXPECT_TRUE(waitFor([&] { return touched(otherSim, down); }, 10s)) << down;
    EXPECT_TRUE(waitFor([&] { return touched(otherSim, "touch action=2"); }, 10s));
    app.setEveryPhone(false);

    // The second phone unplugged: the first streams on without a reset.
    const int resets = counts_[0].resets;
    ASSERT_TRUE(sim_.ok("unplug " + otherSim + " usb"));
    EXPECT_TRUE(waitFor([&] { return second->linkState != LinkState::Live; }, 20s));
    const int packets = counts_[0].packets;
    EXPECT_TRUE(waitFor([&] { return counts_[0].packets > packets + 15; }, 10s));
    EXPECT_EQ(first.linkState.load(), LinkState::Live);
    EXPECT_EQ(counts_[0].resets.load(), resets);
    app.shutdown();
}

TEST_F(AppPhonesTest,
       ThreePhonesStartedTogetherKeepTheirOwnDeviceModeAndOneStoppedClosesItsWindow) {
    ASSERT_TRUE(sim_.ok("phone a usb=R58MSE3A01 model=SM-A525F clip=" + kMedia +
                        "/phone_h264_320x640.h264"));
    ASSERT_TRUE(sim_.ok("phone b usb=R58MSE3B01 model=SM-B700X clip=" + kMedia +
                        "/phone_h264_640x360.h264"));
    ASSERT_TRUE(
        sim_.ok("phone c usb=R58MSE3C01 model=SM-C900Z clip=" + kMedia + "/colour_untagged.h264"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    ASSERT_TRUE(waitFor([&] { return app.phoneMonitor().phones().size() == 3; }, 20s));
    ASSERT_TRUE(waitFor([&] { return !app.phoneMonitor().choice().key.empty(); }, 20s));
    // Which simulated phone each listed one is: the letter in its serial.
    const auto simOf = [&](const std::string& key) {
        const std::string serial = app.phoneMonitor().choiceFor(key).serial;
        return std::string(1, static_cast<char>(std::tolower(serial.at(7))));
    };
    const std::string chosenKey = app.phoneMonitor().choice().key;
    std::vector<PhoneEntry> others;
    for (const PhoneEntry& phone : app.phoneMonitor().phones()) {
        if (phone.key != chosenKey) others.push_back(phone);
    }
    ASSERT_EQ(others.size(), 2u);

    app.startAll();
    ASSERT_EQ(ports_.size(), 3u);
    std::vector<PhoneStream*> streams{app.phoneStream(kChosenPhone), app.phoneStream(others[0].key),
                                      app.phoneStream(others[1].key)};
    for (PhoneStream* stream : streams) ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(waitFor(
        [&] {
            return std::all_of(streams.begin(), streams.end(), [](PhoneStream* s) {
                return s->linkState == LinkState::Live && s->inputLink.state() == InputLink::kReady;
            });
        },
        60s));
    ASSERT_TRUE(waitFor(
        [&] { return counts_[0].packets > 5 && counts_[1].packets > 5 && counts_[2].packets > 5; },
        20s));
    EXPECT_EQ(ports_[1]->title(), "Tovenmar \u2014 " + others[0].name);
    EXPECT_EQ(ports_[2]->title(), "Tovenmar \u2014 " + others[1].name);

    // Device mode switched while the pages show the last phone is that phone's alone.
    const auto saw = [&](const std::string& simPhone, const std::string& what) {
        const std::vector<std::string> events = sim_.events(simPhone);
        return std::any_of(events.begin(), events.end(), [&](const std::string& line) {
            return line.find(what) != std::string::npos;
        });
    };
    app.selectPhone(others[1].key);
    app.setDeviceMode(true);
    EXPECT_TRUE(waitFor([&] { return saw(simOf(others[1].key), "devicemode bits="); }, 10s));
    app.selectPhone(kChosenPhone);
    EXPECT_FALSE(app.buildModel().deviceMode);
    EXPECT_FALSE(saw(simOf(others[0].key), "devicemode bits="));
    EXPECT_FALSE(saw(simOf(chosenKey), "devicemode bits="));

    // The second phone stopped: its window closes, the other two stream on without a reset.
    const int resets0 = counts_[0].resets, resets2 = counts_[2].resets;
    ASSERT_TRUE(ports_[1]->visible);
    app.stopPhone(others[0].key);
    EXPECT_FALSE(ports_[1]->visible);
    EXPECT_TRUE(waitFor([&] { return streams[1]->linkState != LinkState::Live; }, 20s));
    const int packets0 = counts_[0].packets, packets2 = counts_[2].packets;
    EXPECT_TRUE(waitFor(
        [&] { return counts_[0].packets > packets0 + 10 && counts_[2].packets > packets2 + 10; },
        10s));
    EXPECT_EQ(counts_[0].resets.load(), resets0);
    EXPECT_EQ(counts_[2].resets.load(), resets2);
    app.shutdown();
}

TEST_F(AppPhonesTest, APhonesOwnSettingsAndWindowPlaceAreKeptUnderItsKeyAndSurviveARestart) {
    ASSERT_TRUE(sim_.ok("phone a usb=R58MSETA01 model=SM-A525F"));
    ASSERT_TRUE(sim_.ok("phone b usb=R58MSETB01 model=SM-B700X"));
    std::string otherSim, otherKey;
    int32_t general = 0;
    {
        App app(parts());
        std::string error;
        ASSERT_TRUE(app.init(error)) << error;
        ASSERT_TRUE(waitFor([&] { return app.phoneMonitor().phones().size() == 2; }, 20s));
        ASSERT_TRUE(waitFor([&] { return !app.phoneMonitor().choice().key.empty(); }, 20s));
        for (const PhoneEntry& phone : app.phoneMonitor().phones()) {
            if (phone.key != app.phoneMonitor().choice().key) otherKey = phone.key;
        }
        otherSim = app.phoneMonitor().choice().serial == "R58MSETA01" ? "b" : "a";
        general = app.buildModel().bitrate;
        app.startPhone(otherKey);
        // The bitrate chosen while the pages show the second phone is that phone's own.
        app.selectPhone(otherKey);
        app.setBitrate(12000000);
        EXPECT_EQ(app.buildModel().bitrate, 12000000);
        app.selectPhone(kChosenPhone);
        EXPECT_EQ(app.buildModel().bitrate, general);
        app.selectPhone(otherKey);
        EXPECT_EQ(app.buildModel().bitrate, 12000000);
        // The user moves that phone's window.
        ASSERT_EQ(ports_.size(), 2u);
        ports_[1]->placement = Rect{100, 50, 500, 850};
        app.shutdown();
    }
    ports_.clear();
    counts_.clear();

    // Started again: the second phone's stream starts at its own bitrate, the general one is
    // the chosen phone's as before.
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    ASSERT_TRUE(waitFor([&] { return app.phoneMonitor().phones().size() == 2; }, 20s));
    EXPECT_EQ(app.buildModel().bitrate, general);
    const size_t before = sim_.options(otherSim).size();
    app.startPhone(otherKey);
    ASSERT_TRUE(waitFor([&] { return sim_.options(otherSim).size() > before; }, 40s));
    EXPECT_EQ(sim_.options(otherSim).back().at("bitrate"), "12000000");
    // Its window opens where the user put it.
    ASSERT_EQ(ports_.size(), 2u);
    EXPECT_EQ(ports_[1]->placement, (Rect{100, 50, 500, 850}));
    app.shutdown();
}

}  // namespace
}  // namespace tov
