// The stream adapter end to end: the real App against the phone simulator, whose shaped link
// queues what it cannot carry and whose sender follows the bitrate it is sent. The holds are
// short (the control loops' own settings, injected); the path is the program's.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "adapt/remembered_levels.h"
#include "app/app.h"
#include "app/tests/app_stand_ins.h"
#include "core/log.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/control_client.h"

namespace tov {
namespace {

using namespace std::chrono_literals;
using test::modelWhen;
using test::waitFor;

const std::string kPackage = TOV_TEST_MEDIA_DIR "/phone-app-stand-in.apk";

// The loops at a pace a test can watch: the same laws, seconds instead of minutes. The floor is
// lowered because the simulator's small clips are a few hundred kbit/s.
AdaptOptions quickAdapt() {
    AdaptOptions o;
    o.config.holdMs = 1000;
    o.config.probeGapMs = 1000;
    o.config.probeStep = 2.0;
    o.config.pastCutWaitMs = 1000;
    o.config.confirmMs = 2000;
    o.config.minBitrate = 100000;
    o.settledMs = 2000;
    return o;
}

int64_t bitrateOf(const TextMap& options) {
    const auto it = options.find("bitrate");
    return it == options.end() ? -1 : std::strtoll(it->second.c_str(), nullptr, 10);
}

class AppAdaptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The log goes to a folder of the test's own, where it is read back.
        openLog();
        ASSERT_TRUE(readFile(widen(kPackage), package_));
        std::string error;
        ASSERT_TRUE(sim_.start("", &error)) << error;
        // No sound: the link carries the picture alone, so what arrives is the video's rate.
        ASSERT_TRUE(sim_.ok("phone p usb=R58MADAPT1 audio=0 ladder=" TOV_LADDER_DIR));
    }
    void TearDown() override { sim_.stop(); }

    std::vector<std::string> adaptLogLines() {
        std::string text;
        readFile(programDataFile(L"tovenmar.log"), text);
        std::vector<std::string> found;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            if (line.find("adapt: ") != std::string::npos) found.push_back(line);
            start = end + 1;
        }
        return found;
    }

    AppParts parts(bool adapt) {
        AppParts p = test::standInParts(video_, videoPort_, dir_, package_);
        p.adapt = quickAdapt();
        if (!adapt) ini::writeString(dir_.file(L"settings.ini"), L"stream", L"adapt", L"0");
        return p;
    }

    // Starts the stream and waits until pictures flow and the clock offset is known.
    PanelModel startLive(App& app) {
        std::string error;
        EXPECT_TRUE(app.init(error)) << error;
        app.startOrStop();
        const PanelModel m = modelWhen(
            app, [](const PanelModel& m) { return m.linkState == LinkState::Live; }, 30s);
        EXPECT_TRUE(waitFor([&] { return video_.packets > 20; }, 10s));
        EXPECT_TRUE(waitFor(
            [&] {
                int64_t pc = 0;
                return app.session().toPcTime(0, &pc);
            },
            10s));
        return m;
    }

    // The size loop at a pace a test can watch.
    static void quickSizes(AppParts& p) {
        p.adapt.config.sizeGapMs = 3000;
        p.adapt.config.upWaitMs = 3000;
        p.adapt.config.settleAfterSizeMs = 1000;
    }
    // The pipeline's figures: a decoder that needs 40 ms a picture (more than the frame interval
    // at 30 fps) until `slow_` is cleared, then 5 ms.
    void slowDecoder() {
        videoPort_->statsSource = [this] {
            VideoStats s;
            s.decodedPictures = decoded_ += 10;
            s.decodeMicros = decodeMicros_ += 10 * (slow_ ? 40000 : 5000);
            s.presentedPictures = s.decodedPictures;
            return s;
        };
    }

    // The first options packet after `from` whose bitrate passes `test`, or -1.
    int64_t waitForBitrate(size_t from, const std::function<bool(int64_t)>& test,
                           std::chrono::milliseconds limit, size_t* at = nullptr) {
        int64_t found = -1;
        waitFor(
            [&] {
                const std::vector<TextMap> options = sim_.options("p");
                for (size_t i = from; i < options.size(); ++i) {
                    const int64_t b = bitrateOf(options[i]);
                    if (b >= 0 && test(b)) {
                        found = b;
                        if (at) *at = i;
                        return true;
                    }
                }
                return false;
            },
            limit);
        return found;
    }

    test::TempDir dir_;
    test::ScopedEnv appData_{L"LOCALAPPDATA", dir_.path()};
    std::string package_;
    phonesim::PhoneSimulator sim_;
    test::VideoCounts video_;
    test::CountingVideoPort* videoPort_ = nullptr;
    std::atomic<bool> slow_{true};
    std::atomic<int64_t> decoded_{0};
    std::atomic<int64_t> decodeMicros_{0};
};

TEST_F(AppAdaptTest, ASlowLinkCutsTheBitrateWhichIsRememberedAndAFreedLinkGetsItBack) {
    std::string key;
    {
        App app(parts(true));
        const PanelModel live = startLive(app);
        ASSERT_EQ(live.linkState, LinkState::Live);
        key = live.chosenKey;
        const size_t before = sim_.options("p").size();
        ASSERT_EQ(bitrateOf(sim_.options("p").front()), 40000000);

        // The link carries 0.4 Mbit/s of the 0.6 the phone sends at 40 Mbit/s chosen.
        ASSERT_TRUE(sim_.ok("link p rate=0.4"));
        size_t cutAt = 0;
        const int64_t cut = waitForBitrate(
            before, [](int64_t b) { return b <= 400000; }, 30s, &cutAt);
        ASSERT_GT(cut, 0) << "no cut under what the link carries";
        // A change of bitrate alone: only that key goes (Phone app mode).
        EXPECT_EQ(sim_.options("p")[cutAt].size(), 1u);
        const PanelModel m = modelWhen(
            app,
            [](const PanelModel& m) {
                return m.adaptText.find("cable carries") != std::string::npos;
            },
            10s);
        EXPECT_NE(m.adaptText.find("the cable carries"), std::string::npos) << m.adaptText;
        EXPECT_EQ(m.bitrate, 40000000);  // the user's choice is untouched
        // The log says what made the cut.
        bool logged = false;
        for (const std::string& line : adaptLogLines()) {
            if (line.find("bitrate 40.0 -> ") != std::string::npos &&
                line.find("queue ") != std::string::npos &&
                line.find("received ") != std::string::npos) {
                logged = true;
            }
        }
        EXPECT_TRUE(logged);

        // Settled there: kept for this phone on the cable.
        ASSERT_TRUE(waitFor(
            [&] {
                const RememberedLevel r =
                    readRememberedLevel(dir_.file(L"settings.ini"), key, false);
                return r.bitrate > 0 && r.bitrate <= 400000;
            },
            15s));
        app.shutdown();
    }

    // The next stream of this phone starts where it settled, then finds the freed link.
    App app(parts(true));
    const size_t before = sim_.options("p").size();
    startLive(app);
    const std::vector<TextMap> options = sim_.options("p");
    ASSERT_GT(options.size(), before);
    EXPECT_LE(bitrateOf(options[before]), 400000);
    ASSERT_TRUE(sim_.ok("link p free"));
    const int64_t back = waitForBitrate(
        before + 1, [](int64_t b) { return b == 40000000; }, 60s);
    EXPECT_EQ(back, 40000000) << "never back at the user's bitrate";
    for (const TextMap& o : sim_.options("p")) EXPECT_LE(bitrateOf(o), 40000000);
    app.shutdown();
}

TEST_F(AppAdaptTest, ADecoderBoundPcGetsAThinnerStreamInNoAppModeAndTheFullOneBack) {
    AppParts p = parts(true);
    quickSizes(p);
    App app(std::move(p));
    slowDecoder();
    std::string error;
    ASSERT_TRUE(app.init(error)) << error;
    app.setNoApp(true);
    app.setPreset("custom");
    ASSERT_TRUE(app.setNoAppOption("width", "640"));
    ASSERT_TRUE(app.setNoAppOption("height", "320"));
    app.startOrStop();
    ASSERT_EQ(modelWhen(
                  app, [](const PanelModel& m) { return m.linkState == LinkState::Live; }, 30s)
                  .linkState,
              LinkState::Live);
    ASSERT_TRUE(waitFor([&] { return !sim_.options("p").empty(); }, 10s));
    const TextMap first = sim_.options("p").front();

    // One step down: the same size at 30 fps, in the whole map as No app mode sends it.
    size_t downAt = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            const std::vector<TextMap> options = sim_.options("p");
            for (size_t i = 1; i < options.size(); ++i) {
                if (options[i].count("fps") && options[i].at("fps") == "30") {
                    downAt = i;
                    return true;
                }
            }
            return false;
        },
        20s));
    TextMap down = sim_.options("p")[downAt];
    down["decoders"] = first.at("decoders");  // which the stream's start adds
    EXPECT_EQ(down.size(), first.size());
    EXPECT_EQ(first.at("fps"), "60");
    EXPECT_EQ(down.at("width"), first.at("width"));
    EXPECT_EQ(down.at("height"), first.at("height"));
    EXPECT_EQ(down.at("bitrate"), first.at("bitrate"));  // the link is not at fault
    const PanelModel m = modelWhen(
        app,
        [](const PanelModel& m) {
            return m.adaptText.find("this PC decodes") != std::string::npos;
        },
        5s);
    EXPECT_NE(m.adaptText.find("at 30 fps"), std::string::npos) << m.adaptText;
    EXPECT_EQ(m.fps, 60);  // the user's own choice stays

    // The load goes: back to what the user chose.
    slow_ = false;
    EXPECT_TRUE(waitFor(
        [&] {
            const std::vector<TextMap> options = sim_.options("p");
            return options.size() > downAt + 1 && options.back().at("fps") == first.at("fps");
        },
        20s));
    app.shutdown();
}

TEST_F(AppAdaptTest, ADecoderBoundPcGetsThePhonesNextPresetInPhoneAppMode) {
    // The phone lists one preset per clip of its ladder (320p30, 320p15, 160p30); the user's own
    // "sharp" is not among them, so the phone sends its best.
    AppParts p = parts(true);
    quickSizes(p);
    App app(std::move(p));
    slowDecoder();
    startLive(app);
    const size_t before = sim_.options("p").size();
    TextMap down;
    ASSERT_TRUE(waitFor(
        [&] {
            const std::vector<TextMap> options = sim_.options("p");
            for (size_t i = before; i < options.size(); ++i) {
                if (options[i].count("preset")) {
                    down = options[i];
                    return true;
                }
            }
            return false;
        },
        20s));
    // Only the changed key goes.
    EXPECT_EQ(down, (TextMap{{"preset", "320p15"}}));
    // The phone's echo of it leaves the user's own choice as it was.
    const PanelModel m = modelWhen(
        app,
        [](const PanelModel& m) {
            return m.adaptText.find("this PC decodes") != std::string::npos;
        },
        5s);
    EXPECT_EQ(m.preset, "sharp");
    EXPECT_NE(m.adaptText.find("at 15 fps"), std::string::npos) << m.adaptText;
    app.shutdown();
}

TEST_F(AppAdaptTest, TwoStreamsOverThePcTogetherTheCostlierStepsDownThoughThePagesShowTheOther) {
    // p decodes easily (5 ms a picture); q, a phone streamed in a window of its own while the
    // pages show p, takes 80% of the PC: together they are over, and q, the costlier, gives
    // way through its own adapter while p streams on as the user chose.
    AppParts p = parts(true);
    quickSizes(p);
    test::VideoCounts otherCounts;
    test::CountingVideoPort* otherPort = nullptr;
    int made = 0;
    p.makeVideo = [&](VideoEvents events) {
        const bool first = made++ == 0;
        auto port = std::make_unique<test::CountingVideoPort>(first ? video_ : otherCounts,
                                                              std::move(events));
        (first ? videoPort_ : otherPort) = port.get();
        return port;
    };
    // The second phone's forwards take the ports adb chooses.
    p.phoneStreamParts = [](const std::string&, PhoneStreamParts& own) {
        own.session.appPort = 0;
        own.session.noAppPort = 0;
        own.inputLink.port = 0;
    };
    App app(std::move(p));
    // Each stream's figures follow the clock, so that their shares of the PC hold however
    // often the pipeline is asked.
    const auto busy = [](int64_t since, int64_t percent) {
        return [since, percent] {
            VideoStats s;
            const int64_t spent = nowMicros() - since;
            s.decodedPictures = static_cast<int>(spent * 30 / 1000000);
            s.presentedPictures = s.decodedPictures;
            s.decodeMicros = spent * percent / 100;
            return s;
        };
    };
    videoPort_->statsSource = busy(nowMicros(), 15);
    startLive(app);
    ASSERT_TRUE(sim_.ok("phone q usb=R58MADAPT2 audio=0"));
    ASSERT_TRUE(waitFor([&] { return app.phoneMonitor().phones().size() == 2; }, 20s));
    std::string otherKey;
    for (const PhoneEntry& phone : app.phoneMonitor().phones()) {
        if (phone.key != app.phoneMonitor().choice().key) otherKey = phone.key;
    }
    app.startPhone(otherKey);
    ASSERT_NE(otherPort, nullptr);
    otherPort->statsSource = busy(nowMicros(), 80);
    PhoneStream* other = app.phoneStream(otherKey);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(waitFor([&] { return other->linkState == LinkState::Live; }, 30s));
    const auto presetSent = [&](const std::string& phone, size_t from) {
        const std::vector<TextMap> options = sim_.options(phone);
        for (size_t i = from; i < options.size(); ++i) {
            if (options[i].count("preset")) return true;
        }
        return false;
    };
    const size_t fromP = sim_.options("p").size();
    const size_t fromQ = sim_.options("q").size();
    EXPECT_TRUE(waitFor([&] { return presetSent("q", fromQ); }, 20s));
    EXPECT_FALSE(presetSent("p", fromP));
    EXPECT_EQ(app.buildModel().adaptPreset, "");
    app.shutdown();
}

TEST_F(AppAdaptTest, SwitchedOffItSendsNothingWhateverTheLink) {
    App app(parts(false));
    startLive(app);
    ASSERT_TRUE(sim_.ok("link p rate=0.4"));
    // Long enough for the loops to have cut several times over.
    std::this_thread::sleep_for(4s);
    EXPECT_EQ(sim_.options("p").size(), 1u);  // the stream's start, nothing after
    const PanelModel m = app.buildModel();
    EXPECT_FALSE(m.adapt);
    EXPECT_TRUE(m.adaptText.empty());
    app.shutdown();
}

}  // namespace
}  // namespace tov
