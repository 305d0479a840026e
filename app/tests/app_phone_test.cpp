// The whole App against the phone simulator, through the real adb runner and sockets: a phone
// attached after start is installed to and streams once the user starts, clicks reach the
// phone's input helper, files dropped on the video window reach the phone, and the stream and
// input settings travel to the phone.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "app/app.h"
#include "app/tests/app_stand_ins.h"
#include "core/log.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/sha256.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "record/tests/recording_check.h"
#include "session/clock_sync.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/control_client.h"

namespace tov {
namespace {

using namespace std::chrono_literals;

const std::string kPackage = TOV_TEST_MEDIA_DIR "/phone-app-stand-in.apk";

using test::CountingVideoPort;
using test::modelWhen;
using test::VideoCounts;
using test::waitFor;

bool contains(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

class AppPhoneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(readFile(widen(kPackage), package_));
        std::string error;
        ASSERT_TRUE(sim_.start("", &error)) << error;
    }
    void TearDown() override { sim_.stop(); }

    // The model once the stream is live, or as it stands after 30 s.
    static PanelModel whenLive(App& app) {
        return modelWhen(
            app, [](const PanelModel& m) { return m.linkState == LinkState::Live; }, 30s);
    }

    AppParts parts() {
        AppParts p = test::standInParts(video_, videoPort_, dir_, package_);
        p.recordingPath = [this](const std::wstring&) { return dir_.file(L"recording.mp4"); };
        return p;
    }

    std::string package_;
    test::TempDir dir_;
    phonesim::PhoneSimulator sim_;
    VideoCounts video_;
    CountingVideoPort* videoPort_ = nullptr;
};

TEST_F(AppPhoneTest, APhoneAttachedLaterStreamsAndTakesClicks) {
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;

    PanelModel model = modelWhen(
        app, [](const PanelModel& m) { return m.linkState == LinkState::NoDevice; }, 10s);
    EXPECT_EQ(model.linkState, LinkState::NoDevice);

    app.startOrStop();
    ASSERT_TRUE(sim_.ok("phone p usb=R58M123ABC model=SM-G973F"));
    model = whenLive(app);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText << " / " << model.detail;
    EXPECT_TRUE(waitFor([&] { return video_.packets > 5; }, 10s));
    EXPECT_GE(video_.configs.load(), 1);

    // The phone got the stream options, with the user's choices.
    const std::vector<TextMap> options = sim_.options("p");
    ASSERT_FALSE(options.empty());
    EXPECT_EQ(options.front().at("video"), "1");
    EXPECT_EQ(options.front().at("preset"), "sharp");

    // Clicks reach the input helper once its link is up, mapped onto the phone's screen.
    model = modelWhen(
        app, [](const PanelModel& m) { return m.inputState == 2; }, 20s);
    ASSERT_EQ(model.inputState, 2);
    videoPort_->events.touch(0, 0, 0.5f, 0.5f);
    videoPort_->events.touch(2, 0, 0.5f, 0.5f);
    videoPort_->events.systemButton(1);
    EXPECT_TRUE(waitFor([&] { return contains(sim_.events("p"), "touch action=2"); }, 5s));
    const std::vector<std::string> events = sim_.events("p");
    EXPECT_TRUE(contains(events, "touch action=0 pointer=0"));
    EXPECT_TRUE(contains(events, "clipoptions"));

    // A setter reaches the live stream at once.
    app.setVbr(false);
    EXPECT_TRUE(waitFor(
        [&] {
            for (const TextMap& map : sim_.options("p")) {
                auto it = map.find("vbr");
                if (map.size() == 1 && it != map.end() && it->second == "0") return true;
            }
            return false;
        },
        5s));

    // Recording: the phone is asked for a key frame, and the file holds the stream as it came.
    app.setRecording(true);
    EXPECT_TRUE(waitFor([&] { return contains(sim_.streamEvents("p"), "keyframe"); }, 5s));
    model = modelWhen(
        app, [](const PanelModel& m) { return m.recordText.rfind("Recording to", 0) == 0; }, 10s);
    EXPECT_TRUE(model.recording) << model.recordText;
    const int packetsBefore = video_.packets;
    EXPECT_TRUE(waitFor([&] { return video_.packets > packetsBefore + 45; }, 10s));
    app.setRecording(false);
    model = modelWhen(
        app, [](const PanelModel& m) { return m.recordText.rfind("Saved", 0) == 0; }, 5s);
    EXPECT_FALSE(model.recording);
    test::Probe recorded = test::probe(dir_.file(L"recording.mp4"));
    EXPECT_GE(std::atoi(recorded.video["nb_read_frames"].c_str()), 30);
    EXPECT_EQ(recorded.sound["codec_name"], "pcm_s16le");
    EXPECT_EQ(test::decodeErrors(dir_.file(L"recording.mp4")), "");

    // Files dropped on the video window while live: the apk is installed as the user's own
    // package, the photo (a name outside ASCII) lands in Download whole; the stream goes on.
    const std::string photoBytes(70000, 'p'), gameBytes = "PK\x03\x04 a game";
    const std::wstring photo = dir_.file(L"ph\u00f6to.jpg"), game = dir_.file(L"game.apk");
    ASSERT_TRUE(writeFile(photo, photoBytes));
    ASSERT_TRUE(writeFile(game, gameBytes));
    videoPort_->events.filesDropped({photo, game});
    model = modelWhen(
        app, [](const PanelModel& m) { return m.activityText == "game.apk installed."; }, 30s);
    EXPECT_EQ(model.activityText, "game.apk installed.");
    std::vector<std::string> dropped;  // without the Tovenmar app and its helper
    for (const std::string& line : sim_.arrived("p")) {
        if (line.find("tovenmar") == std::string::npos) dropped.push_back(line);
    }
    EXPECT_EQ(dropped, (std::vector<std::string>{
                           "push /sdcard/Download/ph\xC3\xB6to.jpg size=70000 sha256=" +
                               sha256Hex(photoBytes),
                           "install game size=" + std::to_string(gameBytes.size()) +
                               " sha256=" + sha256Hex(gameBytes)}));
    ASSERT_TRUE(sim_.ok("phone p installFailure=INSTALL_FAILED_INSUFFICIENT_STORAGE"));
    videoPort_->events.filesDropped({game});
    model = modelWhen(
        app, [](const PanelModel& m) { return m.activityText.rfind("Couldn't", 0) == 0; }, 30s);
    EXPECT_EQ(model.activityText,
              "Couldn't install game.apk: INSTALL_FAILED_INSUFFICIENT_STORAGE.");
    EXPECT_TRUE(model.activityFailed);
    ASSERT_TRUE(sim_.ok("phone p installFailure=none"));
    EXPECT_EQ(model.linkState, LinkState::Live);
    const int packetsAfterDrop = video_.packets;
    EXPECT_TRUE(waitFor([&] { return video_.packets > packetsAfterDrop + 5; }, 10s));

    // Stop: ready again, and the video side is reset.
    const int resetsBefore = video_.resets;
    app.startOrStop();
    model = modelWhen(
        app, [](const PanelModel& m) { return m.linkState == LinkState::Ready; }, 10s);
    EXPECT_EQ(model.linkState, LinkState::Ready);
    EXPECT_GT(video_.resets.load(), resetsBefore);
    // The phone was told to stop before the connection closed.
    EXPECT_TRUE(contains(sim_.streamEvents("p"), "stop"));

    // Unplugged: no device.
    ASSERT_TRUE(sim_.ok("remove p"));
    model = modelWhen(
        app, [](const PanelModel& m) { return m.linkState == LinkState::NoDevice; }, 10s);
    EXPECT_EQ(model.linkState, LinkState::NoDevice);
    app.shutdown();
}

}  // namespace
}  // namespace tov

namespace tov {
namespace {

// The longest run of silent frames in interleaved stereo sound, and where it ends (frames).
std::pair<size_t, size_t> longestSilence(const std::vector<int16_t>& sound) {
    size_t best = 0, bestEnd = 0, run = 0;
    for (size_t frame = 0; frame + 1 < sound.size(); frame += 2) {
        run = sound[frame] == 0 && sound[frame + 1] == 0 ? run + 1 : 0;
        if (run > best) {
            best = run;
            bestEnd = frame / 2 + 1;
        }
    }
    return {best, bestEnd};
}

TEST_F(AppPhoneTest, ARecordingKeepsItsSoundInPlaceAndAPhoneClockRestartStartsTheNextFile) {
    AppParts p = parts();
    std::atomic<int> made{0};
    std::wstring stem;
    p.recordingPath = [this, &made, &stem](const std::wstring& named) {
        stem = named;
        return dir_.file(L"recording" + std::to_wstring(made++) + L".mp4");
    };
    App app(p);
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    ASSERT_TRUE(sim_.ok("phone p usb=R58MREC001"));
    app.startOrStop();
    PanelModel model = whenLive(app);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText << " / " << model.detail;
    const auto pictures = [&](int n) {
        const int before = video_.packets;
        return waitFor([&] { return video_.packets >= before + n; }, 30s);
    };
    ASSERT_TRUE(pictures(5));

    app.setRecording(true);
    model = modelWhen(
        app, [](const PanelModel& m) { return m.recordText == "Recording to recording0.mp4."; },
        10s);
    ASSERT_EQ(model.recordText, "Recording to recording0.mp4.");
    // The file is named after the phone it was made from.
    EXPECT_EQ(stem, L"Tovenmar " + widen(app.phoneMonitor().choice().name));
    // Two seconds with sound, three without, two with it again.
    EXPECT_TRUE(pictures(60));
    app.setAudio(false);
    EXPECT_TRUE(pictures(90));
    app.setAudio(true);
    EXPECT_TRUE(pictures(60));
    // The phone restarts its clock a minute back: the file ends, the next begins at a key picture.
    ASSERT_TRUE(sim_.ok("phone p clockOffset=-60000000"));
    model = modelWhen(
        app, [](const PanelModel& m) { return m.recordText == "Recording to recording1.mp4."; },
        10s);
    EXPECT_EQ(model.recordText, "Recording to recording1.mp4.");
    EXPECT_TRUE(pictures(45));
    app.setRecording(false);
    model = modelWhen(
        app, [](const PanelModel& m) { return m.recordText.rfind("Saved", 0) == 0; }, 10s);
    EXPECT_EQ(model.recordText, "Saved recording1.mp4 in Videos\\Tovenmar.");
    app.shutdown();

    // The silence lies where the sound was off, not at the end as sound placed by its count
    // would put it: the file's last second has the tone.
    const std::wstring first = dir_.file(L"recording0.mp4");
    EXPECT_EQ(test::decodeErrors(first), "");
    const std::vector<int16_t> sound = test::soundSamples(first);
    const auto [silent, silenceEnd] = longestSilence(sound);
    EXPECT_GE(silent, 48000u * 2) << "frames of silence";
    EXPECT_LE(silenceEnd + 48000, sound.size() / 2) << "the silence runs to the end";
    test::Probe probed = test::probe(first);
    EXPECT_NEAR(std::atof(probed.sound["duration"].c_str()),
                std::atof(probed.video["duration"].c_str()), 0.1);
    const std::wstring second = dir_.file(L"recording1.mp4");
    EXPECT_GE(test::pictureTimes(second).size(), 30u);
    EXPECT_EQ(test::decodeErrors(second), "");
    const test::Reading read = test::gstDiscoverer(second);
    EXPECT_TRUE(read.video && read.sound);
}

size_t countContaining(const std::vector<std::string>& lines, const std::string& part) {
    size_t n = 0;
    for (const std::string& line : lines) {
        if (line.find(part) != std::string::npos) ++n;
    }
    return n;
}

TEST_F(AppPhoneTest, APhoneMovingFromTheCableToWifiStaysLiveWithoutASecondProbe) {
    ASSERT_TRUE(sim_.ok("phone p usb=R58MOVE001 wifi=adb-R58MOVE001-AbCdEf._adb-tls-connect._tcp"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    app.setWifi(true);
    app.startOrStop();
    PanelModel model = whenLive(app);
    ASSERT_EQ(model.linkState, LinkState::Live);
    EXPECT_FALSE(model.chosenWifi);  // the cable is preferred

    ASSERT_TRUE(sim_.ok("unplug p usb"));
    // Every model on the way says live over Wi-Fi only once the stream runs there: its port is
    // forwarded through the Wi-Fi connection before the phone can answer on it.
    const std::string wifiForward = "-s adb-R58MOVE001-AbCdEf._adb-tls-connect._tcp forward";
    bool liveOverWifi = false;
    ASSERT_TRUE(waitFor(
        [&] {
            model = app.buildModel();
            liveOverWifi = model.chosenWifi && model.linkState == LinkState::Live;
            if (liveOverWifi) {
                EXPECT_GE(countContaining(sim_.commands(), wifiForward), 1u);
            }
            return liveOverWifi;
        },
        30s));
    EXPECT_EQ(countContaining(sim_.commands(), "PhoneInfo"), 1u);  // not probed again
    app.shutdown();
}

TEST_F(AppPhoneTest, APhoneAppThatNeverAnswersKeepsWaitingAndIsStartedOnce) {
    ASSERT_TRUE(sim_.ok("phone p usb=R58MUTE001 noHello=1"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    app.startOrStop();
    PanelModel model = modelWhen(
        app, [](const PanelModel& m) { return m.linkState == LinkState::WaitingForApp; }, 30s);
    ASSERT_EQ(model.linkState, LinkState::WaitingForApp);
    // The activity is started once; the failed connections that follow (hello wait of 1.5 s,
    // pause of 0.7 s) try again without starting it again.
    std::this_thread::sleep_for(6s);
    EXPECT_EQ(app.buildModel().linkState, LinkState::WaitingForApp);
    EXPECT_EQ(countContaining(sim_.commands(), "am start"), 1u);
    app.shutdown();
}

TEST_F(AppPhoneTest, TheClockOffsetLandsWithinAMillisecondOfThePhones) {
    ASSERT_TRUE(sim_.ok("phone p usb=R58MCLK001 clockOffset=7654321"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    app.startOrStop();
    ASSERT_EQ(whenLive(app).linkState, LinkState::Live);
    const int64_t phoneUs = 1'000'000'000;
    int64_t pcUs = 0;
    ASSERT_TRUE(waitFor([&] { return app.session().pongCount() >= 5; }, 10s));
    // A millisecond, or what the best round trip allows on a busy machine (read first: the
    // offset never comes from a slower sample than that plus the slack).
    const int64_t allowance =
        std::max<int64_t>(1000, ClockSync::uncertaintyFor(app.session().smallestRoundTrip()));
    ASSERT_TRUE(app.session().toPcTime(phoneUs, &pcUs));
    EXPECT_LE(std::llabs(phoneUs - pcUs - 7654321), allowance);
    app.shutdown();
}

}  // namespace
}  // namespace tov

namespace tov {
namespace {

TEST_F(AppPhoneTest, NoAppModeStreamsFromTheHelperWithEverySharingOff) {
    ASSERT_TRUE(sim_.ok("phone p usb=R58MNOAP01"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    // With keyboard, mouse and both clipboard directions off, only the No app stream needs the
    // input helper, and the link must still run for it.
    app.setKeyboard(false);
    app.setMouse(false);
    app.setClipboardOption("tophone", false);
    app.setClipboardOption("topc", false);
    app.setNoApp(true);
    // The frame rate is the user's own only with the custom size; with a preset it is the
    // preset's, which the phone's preset list (known early or late) decides.
    app.setPreset("custom");
    ASSERT_TRUE(app.setNoAppOption("fps", "24"));
    app.startOrStop();
    const PanelModel model = whenLive(app);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText;
    EXPECT_TRUE(model.noApp);
    EXPECT_TRUE(waitFor([&] { return video_.packets > 3; }, 10s));

    // Nothing was installed: the stream came from the helper run from the copied package.
    const std::vector<std::string> commands = sim_.commands();
    EXPECT_EQ(countContaining(commands, "install -r"), 0u);
    EXPECT_EQ(countContaining(commands, "am start"), 0u);
    EXPECT_GE(countContaining(commands, "localabstract:tovenmar-stream"), 1u);
    const std::vector<TextMap> options = sim_.options("p");
    ASSERT_FALSE(options.empty());
    EXPECT_EQ(options.front().at("fps"), "24");
    app.shutdown();
}

TEST_F(AppPhoneTest, AKeyTypedAsSoonAsTheLinkIsReadyReachesThePhone) {
    ASSERT_TRUE(sim_.ok("phone p usb=R58MKEYS01"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    // No model is built in between: what the key needs is read when the key comes.
    ASSERT_TRUE(waitFor([&] { return app.inputLink().state() == InputLink::kReady; }, 30s));
    const int64_t aKey = (int64_t{0x1E} << 16) | 1;
    EXPECT_TRUE(videoPort_->events.key(true, 'A', aKey, {}));
    EXPECT_TRUE(videoPort_->events.key(false, 'A', aKey | (int64_t{3} << 30), {}));
    EXPECT_TRUE(waitFor([&] { return contains(sim_.events("p"), "key action=1 code=29"); }, 10s));
    app.shutdown();
}

TEST_F(AppPhoneTest, APhoneChangeWhileSharingGoesOffLeavesTheLinkOffThenOnTheChosenPhone) {
    ASSERT_TRUE(sim_.ok("phone a usb=R58MPHA001"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    ASSERT_TRUE(waitFor([&] { return app.inputLink().state() == InputLink::kReady; }, 30s));
    ASSERT_TRUE(sim_.ok("phone b usb=R58MPHB001"));
    ASSERT_TRUE(waitFor([&] { return app.phoneMonitor().phones().size() == 2; }, 20s));

    // The helper's clean-up on phone a stalls while the user turns every kind of sharing off,
    // and phone a goes away meanwhile, which leaves phone b chosen.
    ASSERT_TRUE(sim_.ok("hang shell pkill"));
    const std::string pkillOnA = "-s R58MPHA001 shell pkill";
    const size_t pkillsBefore = countContaining(sim_.commands(), pkillOnA);
    std::thread user([&] {
        app.setKeyboard(false);
        app.setMouse(false);
        app.setClipboardOption("tophone", false);
        app.setClipboardOption("topc", false);
    });
    EXPECT_TRUE(
        waitFor([&] { return countContaining(sim_.commands(), pkillOnA) > pkillsBefore; }, 20s));
    ASSERT_TRUE(sim_.ok("remove a"));
    EXPECT_TRUE(waitFor([&] { return app.phoneMonitor().choice().serial == "R58MPHB001"; }, 20s));
    // The monitor thread takes the next list while the clean-up stalls.
    ASSERT_TRUE(sim_.ok("phone c usb=R58MPHC001"));
    EXPECT_TRUE(waitFor([&] { return app.phoneMonitor().phones().size() == 2; }, 30s));
    user.join();
    EXPECT_FALSE(app.inputLink().running());

    // Turned on again, the link runs on the chosen phone.
    ASSERT_TRUE(sim_.ok("nohang"));
    app.setKeyboard(true);
    ASSERT_TRUE(waitFor([&] { return app.inputLink().state() == InputLink::kReady; }, 30s));
    videoPort_->events.systemButton(1);
    EXPECT_TRUE(waitFor([&] { return contains(sim_.events("b"), "key action=1 code=4"); }, 10s));

    // The phones are watched through adb's change feed, which closing ends at once.
    EXPECT_TRUE(waitFor([&] { return sim_.ask("feeds") == "1\n"; }, 10s));
    app.shutdown();
    EXPECT_TRUE(waitFor([&] { return sim_.ask("feeds") == "0\n"; }, 10s));
}

}  // namespace
}  // namespace tov

namespace tov {
namespace {

// The input modes the phone was sent on the stream, in order.
std::vector<std::string> inputModes(const phonesim::PhoneSimulator& sim, const std::string& id) {
    std::vector<std::string> modes;
    for (const std::string& event : sim.streamEvents(id)) {
        if (event.rfind("inputmode", 0) == 0) modes.push_back(event);
    }
    return modes;
}

std::string inputSetting(const test::TempDir& dir, const wchar_t* key) {
    return narrow(ini::getString(dir.file(L"settings.ini"), L"input", key, L"<none>", 16));
}

// Builds models, as the panel does, until the phone has read `modes` input modes and two more
// pongs came back after that: the phone answers in order, so by then the App has had every
// answer to those modes and has applied whatever it took from them.
void settle(App& app, const phonesim::PhoneSimulator& sim, const std::string& id, size_t modes) {
    ASSERT_TRUE(waitFor(
        [&] {
            app.buildModel();
            return inputModes(sim, id).size() >= modes;
        },
        20s));
    const uint32_t pongs = app.session().pongCount();
    ASSERT_TRUE(waitFor(
        [&] {
            app.buildModel();
            return app.session().pongCount() >= pongs + 2;
        },
        20s));
    app.buildModel();
}

const std::string kBothOn = "inputmode keyboard=1 mouse=1";

// Both kinds of phone app: one that reports "keyboard" and "mouse" only, and one that also tags
// its reports with the number of the last input mode it took.
const std::vector<std::string> kPhoneKinds = {"", " inputSeq=1"};

// The phone reports its input state as it stood before it heard the toggles the PC sends as the
// stream goes live (both off): ahead of its late answer to them, or just after it.
TEST_F(AppPhoneTest, ThePhonesReportFromBeforeItHeardTheTogglesChangesNothing) {
    int n = 0;
    for (const std::string& kind : kPhoneKinds) {
        for (const std::string settings :
             {"inputReport=first inputEchoDelay=300", "inputReport=afterEcho"}) {
            const std::string id = "p" + std::to_string(++n);
            SCOPED_TRACE(settings + kind);
            ASSERT_TRUE(sim_.ok("phone " + id + " usb=R58MTOGL0" + std::to_string(n) + " " +
                                settings + kind));
            App app(parts());
            std::string error;
            ASSERT_TRUE(app.init(error)) << error;
            app.startOrStop();
            ASSERT_EQ(whenLive(app).linkState, LinkState::Live);
            ASSERT_NO_FATAL_FAILURE(settle(app, sim_, id, 1));
            const PanelModel model = app.buildModel();
            EXPECT_TRUE(model.keyboard);
            EXPECT_TRUE(model.mouse);
            EXPECT_EQ(inputSetting(dir_, L"keyboard"), "1");
            EXPECT_EQ(inputSetting(dir_, L"mouse"), "1");
            EXPECT_EQ(inputModes(sim_, id), std::vector<std::string>{kBothOn});
            app.shutdown();
            ASSERT_TRUE(sim_.ok("remove " + id));
        }
    }
}

// Keyboard off and on again before the phone has answered the first toggle.
TEST_F(AppPhoneTest, TwoTogglesWithinOneRoundTripEndAsTheUserLeftThem) {
    int n = 0;
    for (const std::string& kind : kPhoneKinds) {
        const std::string id = "p" + std::to_string(++n);
        SCOPED_TRACE(kind);
        ASSERT_TRUE(sim_.ok("phone " + id + " usb=R58MTOGT0" + std::to_string(n) +
                            " inputEchoDelay=300" + kind));
        App app(parts());
        std::string error;
        ASSERT_TRUE(app.init(error)) << error;
        app.startOrStop();
        ASSERT_EQ(whenLive(app).linkState, LinkState::Live);
        ASSERT_NO_FATAL_FAILURE(settle(app, sim_, id, 1));
        app.setKeyboard(false);
        app.setKeyboard(true);
        ASSERT_NO_FATAL_FAILURE(settle(app, sim_, id, 3));
        const PanelModel model = app.buildModel();
        EXPECT_TRUE(model.keyboard);
        EXPECT_TRUE(model.mouse);
        EXPECT_EQ(inputSetting(dir_, L"keyboard"), "1");
        EXPECT_EQ(inputModes(sim_, id),
                  (std::vector<std::string>{kBothOn, "inputmode keyboard=0 mouse=1", kBothOn}));
        app.shutdown();
        ASSERT_TRUE(sim_.ok("remove " + id));
    }
}

// The phone's user turns its keyboard sharing off: the change is the user's new choice, and the
// phone's report of how it stood at the start of the connection (both off) is not, wherever it
// falls. A phone that numbers its reports is followed even when that report comes only after the
// change; one that does not, when it comes after the phone's answer to the PC's toggles.
TEST_F(AppPhoneTest, AChangeMadeOnThePhoneIsTakenWhereverItsStartReportFalls) {
    int n = 0;
    for (const std::string settings :
         {"inputReport=afterEcho", "inputReport=media", "inputReport=late inputSeq=1"}) {
        const std::string id = "p" + std::to_string(++n);
        SCOPED_TRACE(settings);
        ASSERT_TRUE(sim_.ok("phone " + id + " usb=R58MTOGC0" + std::to_string(n) + " " + settings));
        App app(parts());
        std::string error;
        ASSERT_TRUE(app.init(error)) << error;
        app.startOrStop();
        ASSERT_EQ(whenLive(app).linkState, LinkState::Live);
        ASSERT_NO_FATAL_FAILURE(settle(app, sim_, id, 1));
        ASSERT_TRUE(sim_.ok("inputstate " + id + " keyboard=0"));
        // Taken, the change goes back to the phone as the user's choice.
        ASSERT_NO_FATAL_FAILURE(settle(app, sim_, id, 2));
        const PanelModel model = app.buildModel();
        EXPECT_FALSE(model.keyboard);
        EXPECT_TRUE(model.mouse);
        EXPECT_EQ(inputSetting(dir_, L"keyboard"), "0");
        EXPECT_EQ(inputSetting(dir_, L"mouse"), "1");
        EXPECT_EQ(inputModes(sim_, id),
                  (std::vector<std::string>{kBothOn, "inputmode keyboard=0 mouse=1"}));
        app.shutdown();
        ASSERT_TRUE(sim_.ok("remove " + id));
        // The next App starts with both on again.
        ASSERT_TRUE(deleteFile(dir_.file(L"settings.ini")));
    }
}

// Stop stream while the PC waits for the hello of a phone app that already runs: the broken
// handshake must not start the app the user no longer wants.
TEST_F(AppPhoneTest, StopWhileTheHelloIsAwaitedStartsNoPhoneApp) {
    ASSERT_TRUE(sim_.ok("phone p usb=R58MSTOP01 noHello=1 apk=\"" + kPackage + "\""));
    ASSERT_TRUE(sim_.ok("app p start"));
    AppParts p = parts();
    p.session.stream.helloTimeoutMs = 60000;  // the stop comes inside the wait
    App app(std::move(p));
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    app.startOrStop();
    ASSERT_TRUE(waitFor([&] { return !sim_.options("p").empty(); }, 30s));
    app.startOrStop();
    app.shutdown();  // the Session's thread has done whatever followed the stop
    EXPECT_EQ(countContaining(sim_.commands(), "am start"), 0u);
}

}  // namespace
}  // namespace tov

namespace tov {
namespace {

// Wi-Fi through the App: a phone paired by the QR code the model holds streams over Wi-Fi, and
// when its Wi-Fi drops while live and comes back at a new port, the stream goes live again with
// no one pressing anything.
TEST_F(AppPhoneTest, APhonePairedByQrCodeStreamsOverWifiAndGoesLiveAgainAfterItsWifiDrops) {
    ASSERT_TRUE(
        sim_.ok("phone p serialno=R5CTWIFI01 manufacturer=Google model='Pixel 8' ip=192.168.1.20"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    app.openPairing();
    PanelModel model = modelWhen(
        app, [](const PanelModel& m) { return m.wifiState.step == WifiStep::Looking; }, 20s);
    ASSERT_EQ(model.wifiState.step, WifiStep::Looking) << model.wifiState.status;
    EXPECT_TRUE(model.wifi);  // pairing a phone is asking to use Wi-Fi
    ASSERT_TRUE(sim_.ok("scan p '" + model.wifiState.pairingText + "'"));
    model = modelWhen(
        app,
        [](const PanelModel& m) {
            return m.wifiState.step == WifiStep::Connected && m.chosenKey == "R5CTWIFI01";
        },
        30s);
    ASSERT_EQ(model.wifiState.step, WifiStep::Connected) << model.wifiState.status;
    EXPECT_EQ(model.chosenKey, "R5CTWIFI01");
    EXPECT_TRUE(model.chosenWifi);
    app.closePairing();

    app.startOrStop();
    model = whenLive(app);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText;
    EXPECT_TRUE(model.chosenWifi);
    EXPECT_TRUE(waitFor([&] { return video_.packets > 5; }, 10s));

    ASSERT_TRUE(sim_.ok("wifi p drop"));
    // The broken stream may be retried once before the phone list says the phone is gone.
    model = modelWhen(
        app,
        [](const PanelModel& m) {
            return !m.wifiAwaited.empty() && m.linkState == LinkState::NoDevice;
        },
        20s);
    EXPECT_EQ(model.wifiAwaited, "Google Pixel 8");
    EXPECT_EQ(model.linkState, LinkState::NoDevice);
    EXPECT_TRUE(model.streaming);
    model = modelWhen(
        app,
        [](const PanelModel& m) { return m.activityText.find("dropped") != std::string::npos; },
        10s);
    EXPECT_EQ(model.activityText,
              "Google Pixel 8 dropped off Wi-Fi. Tovenmar connects it again when it's back.");
    // Away long enough for tries at its old address to fail.
    EXPECT_TRUE(waitFor(
        [&] { return countContaining(sim_.commands(), "connect 192.168.1.20") >= 3; }, 20s));
    ASSERT_TRUE(sim_.ok("wifi p back new"));
    const auto back = std::chrono::steady_clock::now();
    model = whenLive(app);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText;
    const auto liveAgain = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - back);
    RecordProperty("liveAgainMs", static_cast<int>(liveAgain.count()));
    std::printf("live again %lld ms after the phone's Wi-Fi came back\n",
                static_cast<long long>(liveAgain.count()));
    EXPECT_TRUE(model.chosenWifi);
    EXPECT_TRUE(model.wifiAwaited.empty());
    EXPECT_EQ(model.activityText, "Google Pixel 8 is back over Wi-Fi.");
    const int packets = video_.packets;
    EXPECT_TRUE(waitFor([&] { return video_.packets > packets + 5; }, 10s));
    app.shutdown();
}

// Closing the program while adb pairs ends that adb at once instead of waiting it out.
TEST_F(AppPhoneTest, ClosingWhileAPairingHangsEndsItsAdb) {
    test::ScopedEnv env(L"LOCALAPPDATA", dir_.path());
    openLog();
    ASSERT_TRUE(sim_.ok("phone p serialno=R5CTHANG01 ip=192.168.1.20"));
    ASSERT_TRUE(sim_.ok("hang pair"));
    App app(parts());
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    app.openPairing();
    PanelModel model = modelWhen(
        app, [](const PanelModel& m) { return m.wifiState.step == WifiStep::Looking; }, 20s);
    ASSERT_TRUE(sim_.ok("scan p '" + model.wifiState.pairingText + "'"));
    model = modelWhen(
        app, [](const PanelModel& m) { return m.wifiState.step == WifiStep::Pairing; }, 20s);
    ASSERT_EQ(model.wifiState.step, WifiStep::Pairing);
    app.shutdown();
    std::string log;
    readFile(joinPath(joinPath(dir_.path(), L"Tovenmar"), L"tovenmar.log"), log);
    EXPECT_NE(log.find("(code hidden): ended, no longer wanted"), std::string::npos);
}

// The phone's stream forward as the simulated adb lists it ("SERIAL tcp:PORT tcp:27183"), or "".
std::string streamForward(const phonesim::PhoneSimulator& sim) {
    for (const std::string& line : phonesim::lines(sim.ask("forwards"))) {
        if (line.size() > 10 && line.compare(line.size() - 10, 10, " tcp:27183") == 0) return line;
    }
    return {};
}

// Another program listening on the local ports the forwards once had (a port that cannot be
// held here is held by someone else already) changes nothing: adb chooses free ones. Each
// forward goes when it is no longer needed, the stream's at Stop stream, all at exit.
TEST_F(AppPhoneTest, LocalPortsHeldByAnotherProgramChangeNothing) {
    std::vector<std::unique_ptr<TcpListener>> held;
    for (const uint16_t port : {27183, 27184, 27185})
        held.push_back(TcpListener::listenLoopback(port));
    ASSERT_TRUE(sim_.ok("phone p usb=R58MPORT01"));
    AppParts p = parts();
    p.session.appPort = SessionConfig{}.appPort;  // the product's own ports
    p.session.noAppPort = SessionConfig{}.noAppPort;
    p.inputLink.port = InputLinkTimings{}.port;
    App app(p);
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    app.startOrStop();
    PanelModel model = whenLive(app);
    ASSERT_EQ(model.linkState, LinkState::Live) << model.statusText;
    EXPECT_TRUE(waitFor([&] { return video_.packets > 3; }, 10s));
    model = modelWhen(
        app, [](const PanelModel& m) { return m.inputState == 2; }, 20s);
    EXPECT_EQ(model.inputState, 2);
    EXPECT_NE(streamForward(sim_), "");

    app.startOrStop();
    EXPECT_TRUE(waitFor([&] { return streamForward(sim_).empty(); }, 10s)) << streamForward(sim_);
    app.shutdown();
    EXPECT_EQ(sim_.ask("forwards"), "");
}

}  // namespace
}  // namespace tov
