// The sender that follows the stream options, over the small ladder of clips that
// tests/media/make-clips.sh makes for the tests: which clip each picture comes from, and when a
// video configuration goes out.
#include <map>

#include "platform/files.h"
#include "platform/text.h"
#include "session/packet.h"
#include "tools/phonesim/clip_ladder.h"
#include "tools/phonesim/tests/sim_fixture.h"
#include "tools/phonesim/video_clip.h"

namespace tov::phonesim::test {
namespace {

const uint8_t* u8(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

class LadderSender : public SimTest {
  protected:
    void SetUp() override {
        ladder = listLadder(TOV_LADDER_DIR);
        ASSERT_EQ(ladder.size(), 4u) << "make-clips.sh small-ladder " TOV_LADDER_DIR;
        for (const LadderRung& rung : ladder) {
            std::string bytes, error;
            ASSERT_TRUE(readFile(widen(rung.path), bytes));
            VideoClip clip;
            ASSERT_TRUE(parseVideoClip(bytes, VideoCodec::H264, clip, error)) << error;
            const std::string name = rung.path.substr(rung.path.rfind('/') + 1);
            for (const AccessUnit& u : clip.units) {
                auto [it, fresh] = clipOf.emplace(u.bytes, name);
                if (!fresh && it->second != name) it->second = "?";
            }
        }
        startSim("phone p usb=S1 model=Pixel app=old ladder=" TOV_LADDER_DIR
                 " helper=" TOV_TEST_MEDIA_DIR "/phone-app-stand-in.apk\n");
        port = freePort();
        ASSERT_TRUE(adb("-s S1 forward tcp:" + std::to_string(port) + " tcp:27183").ok);
        ASSERT_TRUE(adb("-s S1 shell am start -n com.tovenmar.app/.MainActivity").ok);
    }

    // The clip a picture came from.
    std::string from(const Received& r) {
        auto it = clipOf.find(r.payload);
        return it == clipOf.end() ? "unknown" : it->second;
    }

    // After an options change: pictures of the clip sent before may still come; then, when
    // `config` is expected, a configuration of that size and frame rate; then a key picture of
    // `to`, with no configuration on the way unless one was expected.
    void expectSwitch(const std::string& before, const std::string& to, int width, int height,
                      int fps, bool config) {
        bool sawConfig = false;
        for (int n = 0; n < 400; ++n) {
            const Received r = client.receive(5000);
            ASSERT_TRUE(r.ok);
            if (r.type == 2) {
                ASSERT_TRUE(config) << "a configuration on a change of bitrate alone";
                ASSERT_FALSE(sawConfig);
                ASSERT_GE(r.payload.size(), 8u);
                EXPECT_EQ(readU16(u8(r.payload)), width);
                EXPECT_EQ(readU16(u8(r.payload) + 2), height);
                EXPECT_EQ(readU16(u8(r.payload) + 4), fps);
                sawConfig = true;
            } else if (r.type == 6) {
                lastState = readTextMap(r.payload);
            } else if (r.type == 3) {
                const std::string clip = from(r);
                if (clip == before && !sawConfig) continue;
                EXPECT_EQ(clip, to);
                EXPECT_EQ(sawConfig, config);
                EXPECT_TRUE(r.flags & 1) << "the new clip starts with a key picture";
                for (int more = 0; more < 5; ++more) {
                    const Received next = client.receiveType(3);
                    ASSERT_TRUE(next.ok);
                    EXPECT_EQ(from(next), to);
                }
                return;
            }
        }
        FAIL() << "no picture of " << to;
    }

    std::vector<LadderRung> ladder;
    std::map<std::string, std::string> clipOf;  // access unit → clip file ("?": in several)
    uint16_t port = 0;
    PacketClient client;
    TextMap lastState;  // the phone's last state report
};

TEST_F(LadderSender, FollowsBitrateSizeAndFrameRateWithAConfigurationOnlyForANewSizeOrRate) {
    ASSERT_TRUE(openStream(client, port,
                           {{"audio", "0"}, {"bitrate", "600000"}, {"preset", "320p30"},
                            {"video", "1"}}));
    const Received config = client.receiveType(2);
    ASSERT_TRUE(config.ok);
    EXPECT_EQ(readU16(u8(config.payload)), 320);
    EXPECT_EQ(readU16(u8(config.payload) + 4), 30);
    Received r = client.receiveType(6);
    ASSERT_TRUE(r.ok);
    const TextMap state = readTextMap(r.payload);
    EXPECT_EQ(state.at("presets"), ladderPresets(ladder));
    EXPECT_EQ(state.at("preset"), "320p30");
    r = client.receiveType(3);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(from(r), "320x640_30_600k.h264");
    EXPECT_TRUE(r.flags & 1);

    // Phone app mode sends only the changed keys.
    ASSERT_TRUE(client.send(7, writeTextMap({{"bitrate", "350000"}})));
    expectSwitch("320x640_30_600k.h264", "320x640_30_300k.h264", 320, 640, 30, false);
    ASSERT_TRUE(client.send(7, writeTextMap({{"preset", "160p30"}})));
    expectSwitch("320x640_30_300k.h264", "160x320_30_200k.h264", 160, 320, 30, true);
    EXPECT_EQ(lastState["width"], "160");
    EXPECT_EQ(lastState["preset"], "160p30");
    ASSERT_TRUE(client.send(7, writeTextMap({{"preset", "320p15"}})));
    expectSwitch("160x320_30_200k.h264", "320x640_15_300k.h264", 320, 640, 15, true);
}

TEST_F(LadderSender, TheProbeOffersTheLaddersPresetsAndOnlyH264) {
    const AdbResult probe = adb(
        "-s S1 shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
        "com.tovenmar.app.shell.PhoneInfo");
    EXPECT_NE(probe.output.find("presets.c2.qti.avc.encoder=" + ladderPresets(ladder) + "\n"),
              std::string::npos)
        << probe.output;
    EXPECT_NE(probe.output.find("codecs=h264\n"), std::string::npos);
}

}  // namespace
}  // namespace tov::phonesim::test
