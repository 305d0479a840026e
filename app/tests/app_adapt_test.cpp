// The stream adapter end to end: the real App against the phone simulator, whose shaped link
// queues what it cannot carry and whose sender follows the bitrate it is sent. The holds are
// short (the control loops' own settings, injected); the path is the program's.
#include <gtest/gtest.h>

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
        const int64_t cut =
            waitForBitrate(before, [](int64_t b) { return b <= 400000; }, 30s, &cutAt);
        ASSERT_GT(cut, 0) << "no cut under what the link carries";
        // A change of bitrate alone: only that key goes (Phone app mode).
        EXPECT_EQ(sim_.options("p")[cutAt].size(), 1u);
        const PanelModel m = modelWhen(
            app, [](const PanelModel& m) { return m.adaptText.find("cable carries") != std::string::npos; },
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
    const int64_t back =
        waitForBitrate(before + 1, [](int64_t b) { return b == 40000000; }, 60s);
    EXPECT_EQ(back, 40000000) << "never back at the user's bitrate";
    for (const TextMap& o : sim_.options("p")) EXPECT_LE(bitrateOf(o), 40000000);
    app.shutdown();
}

TEST_F(AppAdaptTest, SwitchedOffItSendsNothingWhateverTheLink) {
    App app(parts(false));
    startLive(app);
    ASSERT_TRUE(sim_.ok("link p rate=0.4"));
    // Long enough for the loops to have cut several times over.
    std::this_thread::sleep_for(6s);
    EXPECT_EQ(sim_.options("p").size(), 1u);  // the stream's start, nothing after
    const PanelModel m = app.buildModel();
    EXPECT_FALSE(m.adapt);
    EXPECT_TRUE(m.adaptText.empty());
    app.shutdown();
}

}  // namespace
}  // namespace tov
