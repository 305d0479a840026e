// Forwards and the stream server, seen from a plain client as the PC program sees them.
#include "core/annex_b.h"
#include "phone/adb_runner.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "session/packet.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/sps_size.h"
#include "tools/phonesim/tests/sim_fixture.h"

namespace tov::phonesim::test {
namespace {

const uint8_t* u8(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

std::string u64(uint64_t v) {
    std::string out(8, '\0');
    writeU64(reinterpret_cast<uint8_t*>(out.data()), v);
    return out;
}

class Stream : public SimTest {
  protected:
    // A phone with the app installed and started, its port forwarded to a free local port.
    void startLiveApp(const std::string& extra = {}) {
        startSim("phone p usb=S1 model=Pixel app=old " + extra + "\n");
        port = freePort();
        ASSERT_NE(port, 0);
        ASSERT_TRUE(adb("-s S1 forward tcp:" + std::to_string(port) + " tcp:27183").ok);
        ASSERT_TRUE(adb("-s S1 shell am start -n com.tovenmar.app/.MainActivity --ez start true "
                        "-f 0x30000000")
                        .ok);
    }

    uint16_t port = 0;
};

TEST_F(Stream, ForwardListensOnlyWhileItExistsAndReachesOnlyARunningApp) {
    startSim("phone p usb=S1 app=old\n");
    const uint16_t local = freePort();
    EXPECT_EQ(TcpSocket::connectLoopback(local), nullptr);
    ASSERT_TRUE(adb("-s S1 forward tcp:" + std::to_string(local) + " tcp:27183").ok);
    EXPECT_NE(sim.ask("forwards").find("S1 tcp:" + std::to_string(local) + " tcp:27183"),
              std::string::npos);
    // Nothing serves the phone's port yet: adb accepts and closes at once.
    PacketClient client;
    ASSERT_TRUE(client.connect(local));
    EXPECT_TRUE(client.closedWithin(2000));
    ASSERT_TRUE(adb("-s S1 shell am start -n com.tovenmar.app/.MainActivity").ok);
    EXPECT_TRUE(openStream(client, local, {{"video", "1"}}));
    // Removing the forward stops the listening.
    ASSERT_TRUE(adb("forward --remove tcp:" + std::to_string(local)).ok);
    EXPECT_EQ(TcpSocket::connectLoopback(local), nullptr);
    const AdbResult again = adb("forward --remove tcp:" + std::to_string(local));
    EXPECT_FALSE(again.ok);
    EXPECT_NE(again.output.find("not found"), std::string::npos);
}

// "tcp:0" as adb has it: a free port, printed alone on its line, listed and removed as any other.
TEST_F(Stream, ForwardOfPortZeroTakesAFreePortAndPrintsIt) {
    startSim("phone p usb=S1 app=old\n");
    const AdbResult first = adb("-s S1 forward tcp:0 tcp:27183");
    ASSERT_TRUE(first.ok) << first.output;
    const uint16_t port = parsePort(first.output);
    ASSERT_NE(port, 0) << first.output;
    EXPECT_EQ(first.output, std::to_string(port) + "\n");
    const AdbResult second = adb("-s S1 forward tcp:0 localabstract:tovenmar-input");
    ASSERT_TRUE(second.ok) << second.output;
    EXPECT_NE(parsePort(second.output), port);
    EXPECT_NE(adb("forward --list").output.find("S1 tcp:" + std::to_string(port) + " tcp:27183\n"),
              std::string::npos);
    EXPECT_NE(TcpSocket::connectLoopback(port), nullptr);
    ASSERT_TRUE(adb("-s S1 forward --remove tcp:" + std::to_string(port)).ok);
    EXPECT_EQ(TcpSocket::connectLoopback(port), nullptr);
    EXPECT_EQ(adb("forward --list").output.find(" tcp:27183"), std::string::npos);
}

TEST_F(Stream, UnplugEndsTheLinksForwardsAndConnections) {
    startLiveApp();
    PacketClient client;
    ASSERT_TRUE(openStream(client, port, {}));
    ASSERT_TRUE(sim.ok("unplug p usb"));
    EXPECT_TRUE(client.closedWithin(2000));
    EXPECT_EQ(TcpSocket::connectLoopback(port), nullptr);
}

TEST_F(Stream, AppThatStartsSlowlyServesOnlyAfterItsStartTime) {
    startSim("phone p usb=S1 app=old appStart=600\n");
    port = freePort();
    ASSERT_TRUE(adb("-s S1 forward tcp:" + std::to_string(port) + " tcp:27183").ok);
    ASSERT_TRUE(adb("-s S1 shell am start -n com.tovenmar.app/.MainActivity").ok);
    const uint64_t started = tickMs();
    PacketClient client;
    ASSERT_TRUE(client.connect(port));
    EXPECT_TRUE(client.closedWithin(2000));
    ASSERT_TRUE(waitFor([&] { return tickMs() - started >= 650; }, 2000));
    EXPECT_TRUE(openStream(client, port, {}));
}

TEST_F(Stream, AppWithoutInstallCannotStart) {
    startSim("phone p usb=S1\n");
    const AdbResult r = adb("-s S1 shell am start -n com.tovenmar.app/.MainActivity");
    EXPECT_NE(r.output.find("Error type 3"), std::string::npos);
    EXPECT_EQ(sim.status("p").at("appRunning"), "0");
}

TEST_F(Stream, ScriptedSessionFromOptionsToStop) {
    startLiveApp("clockOffset=-5000000");
    PacketClient client;
    TextMap hello;
    const TextMap options{
        {"audio", "1"}, {"bitrate", "8000000"}, {"decoders", "h264"}, {"video", "1"}};
    const int64_t before = nowMicros();
    ASSERT_TRUE(openStream(client, port, options, &hello));
    EXPECT_EQ(hello.at("device"), "Google Pixel");

    // The configuration: size from the clip, its parameter sets, codec H.264.
    Received r = client.receiveType(2);
    ASSERT_TRUE(r.ok);
    ASSERT_GE(r.payload.size(), 8u);
    EXPECT_EQ(readU16(u8(r.payload)), 320);
    EXPECT_EQ(readU16(u8(r.payload) + 2), 640);
    EXPECT_EQ(readU16(u8(r.payload) + 4), 30);
    EXPECT_EQ(readU16(u8(r.payload) + 6), 0);
    const std::vector<std::string_view> sets = splitAnnexB(std::string_view(r.payload).substr(8));
    ASSERT_EQ(sets.size(), 2u);
    int w = 0, h = 0;
    ASSERT_TRUE(readH264SpsSize(sets[0], w, h));
    EXPECT_EQ(w, 320);

    // Video, audio, state and input reports, then pongs.
    bool sawState = false, sawInput = false, sawAudioConfig = false;
    int video = 0, audio = 0;
    int64_t lastPts = INT64_MIN, lastSoundPts = 0;
    client.send(8, u64(777));
    bool sawPong = false;
    while (video < 20 || !sawPong) {
        r = client.receive(2000);
        ASSERT_TRUE(r.ok) << "after " << video << " pictures";
        if (r.type == 3) {
            bool idr = false;
            for (std::string_view n : splitAnnexB(r.payload))
                idr = idr || nalType(/*hevc=*/false, n) == 5;
            EXPECT_EQ((r.flags & 1) != 0, idr);
            if (video == 0) {
                EXPECT_TRUE(idr) << "the stream starts with a key picture";
            }
            EXPECT_GT(r.timestamp, lastPts);
            // The phone's clock runs 5 s behind the PC's.
            EXPECT_LT(r.timestamp, nowMicros() - 4000000);
            EXPECT_GT(r.timestamp, before - 6000000);
            lastPts = r.timestamp;
            ++video;
        } else if (r.type == 5) {
            EXPECT_EQ(r.payload.size(), 480u * 4);
            // Stamped on the pictures' clock, each at least its 10 ms after the one before (more
            // when the phone skipped sound it was too late to capture).
            EXPECT_LT(r.timestamp, nowMicros() - 4000000);
            if (audio > 0) {
                EXPECT_GE(r.timestamp, lastSoundPts + 10000);
            }
            lastSoundPts = r.timestamp;
            ++audio;
        } else if (r.type == 4) {
            ASSERT_EQ(r.payload.size(), 8u);
            EXPECT_EQ(readU32(u8(r.payload)), 48000u);
            EXPECT_EQ(readU16(u8(r.payload) + 4), 2);
            sawAudioConfig = true;
            EXPECT_EQ(audio, 0) << "audio configuration comes before audio";
        } else if (r.type == 6) {
            const TextMap state = readTextMap(r.payload);
            for (const char* key :
                 {"video",    "audio",         "mode",   "preset",      "presetChoice",
                  "bitrate",  "bitrateChoice", "codec",  "codecChoice", "codecs",
                  "encoder",  "encoderName",   "vbr",    "presets",     "maxBitrate",
                  "link",     "width",         "height", "limits",      "note",
                  "audioNote"}) {
                EXPECT_EQ(state.count(key), 1u) << key;
            }
            EXPECT_EQ(state.at("mode"), "app");
            EXPECT_EQ(state.at("bitrate"), "8000000");
            sawState = true;
        } else if (r.type == 13) {
            sawInput = true;
        } else if (r.type == 9) {
            EXPECT_EQ(r.payload, u64(777));
            EXPECT_LT(r.timestamp, nowMicros() - 4000000);
            sawPong = true;
        }
    }
    EXPECT_TRUE(sawState && sawInput && sawAudioConfig);
    EXPECT_GT(audio, 10);  // 100 a second beside 30 pictures

    // A key frame request makes the next picture a key picture.
    client.send(10);
    r = client.receiveType(3);
    while (r.ok && r.type == 3 && !(r.flags & 1)) {
        // At most the picture already on its way may come first.
        r = client.receiveType(3);
        break;
    }
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.flags & 1);

    // Options while live are recorded and answered with a fresh state report.
    client.send(7, writeTextMap({{"bitrate", "4000000"}}));
    r = client.receiveType(6);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(readTextMap(r.payload).at("bitrate"), "4000000");
    client.send(12, writeTextMap({{"keyboard", "1"}, {"mouse", "0"}}));
    r = client.receiveType(13);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(readTextMap(r.payload).at("keyboard"), "1");

    client.send(11);
    EXPECT_TRUE(client.closedWithin(2000));

    const std::vector<TextMap> recorded = sim.options("p");
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0], options);
    EXPECT_EQ(recorded[1], (TextMap{{"bitrate", "4000000"}}));
    const std::vector<std::string> events = sim.streamEvents("p");
    EXPECT_NE(std::find(events.begin(), events.end(), "keyframe"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "inputmode keyboard=1 mouse=0"),
              events.end());
    EXPECT_EQ(events.back(), "stop");
}

TEST_F(Stream, HevcOnlyWhenThePcDecodesItAndTheChoiceAllows) {
    startLiveApp();
    struct Case {
        TextMap options;
        int codec;
    };
    const std::vector<Case> cases{
        {{{"codec", "auto"}, {"decoders", "h264,hevc"}}, 1},
        {{{"codec", "hevc"}, {"decoders", "h264,hevc"}}, 1},
        {{{"codec", "h264"}, {"decoders", "h264,hevc"}}, 0},
        {{{"codec", "hevc"}, {"decoders", "h264"}}, 0},
        {{{"decoders", "h264"}}, 0},
    };
    for (const Case& c : cases) {
        PacketClient client;
        ASSERT_TRUE(openStream(client, port, c.options));
        const Received config = client.receiveType(2);
        ASSERT_TRUE(config.ok);
        EXPECT_EQ(readU16(u8(config.payload) + 6), c.codec) << writeTextMap(c.options);
        const Received state = client.receiveType(6);
        ASSERT_TRUE(state.ok);
        EXPECT_EQ(readTextMap(state.payload).at("codec"), c.codec ? "hevc" : "h264");
        const Received picture = client.receiveType(3);
        ASSERT_TRUE(picture.ok);
        EXPECT_TRUE(picture.flags & 1);
        if (c.codec == 1) {
            bool idr = false;
            for (std::string_view nal : splitAnnexB(picture.payload)) {
                const int type = nalType(/*hevc=*/true, nal);
                idr = idr || type == 19 || type == 20;
            }
            EXPECT_TRUE(idr) << "an IDR picture of HEVC";
        }
    }
    // A phone without an HEVC encoder sends H.264 whatever the PC can do.
    ASSERT_TRUE(sim.ok("phone p hevc=0"));
    PacketClient client;
    ASSERT_TRUE(openStream(client, port, {{"codec", "auto"}, {"decoders", "h264,hevc"}}));
    const Received config = client.receiveType(2);
    ASSERT_TRUE(config.ok);
    EXPECT_EQ(readU16(u8(config.payload) + 6), 0);
}

TEST_F(Stream, VideoAndSoundOffAreHonoured) {
    startLiveApp("audio=0");
    PacketClient client;
    ASSERT_TRUE(openStream(client, port, {{"video", "0"}}));
    // Only reports and pongs come; the pongs keep the connection from falling silent.
    const uint64_t end = tickMs() + 600;
    int pongs = 0;
    while (tickMs() < end) {
        client.send(8, u64(tickMs()));
        const Received r = client.receive(700);
        ASSERT_TRUE(r.ok);
        pongs += r.type == 9;
        EXPECT_NE(r.type, 3);
        EXPECT_NE(r.type, 5);
        if (r.type == 6) {
            EXPECT_EQ(readTextMap(r.payload).at("video"), "0");
            EXPECT_EQ(readTextMap(r.payload).at("audio"), "0");
        }
    }
    EXPECT_GT(pongs, 0);
}

TEST_F(Stream, AStillScreenSendsNoPicturesAndBeepsStartAtKeyPictures) {
    startLiveApp("beeps=1");
    PacketClient client;
    ASSERT_TRUE(openStream(client, port, {{"video", "1"}, {"audio", "1"}}));
    // Each key picture's stamp has a loud sound frame at it; the sound is quiet elsewhere.
    std::vector<int64_t> keys, onsets;
    int64_t lastLoud = INT64_MIN / 2;
    const uint64_t end = tickMs() + 2500;
    while (tickMs() < end) {
        const Received r = client.receive(700);
        ASSERT_TRUE(r.ok);
        if (r.type == 3 && (r.flags & kKeyFrameFlag)) keys.push_back(r.timestamp);
        if (r.type != 5) continue;
        // 16-bit little-endian stereo at 48 kHz: the left channel's samples.
        for (size_t i = 0; i + 1 < r.payload.size(); i += 4) {
            const auto sample = static_cast<int16_t>(static_cast<uint8_t>(r.payload[i]) |
                                                     static_cast<uint8_t>(r.payload[i + 1]) << 8);
            if (std::abs(sample) < 4000) continue;
            const int64_t t = r.timestamp + static_cast<int64_t>(i / 4) * 1000000 / 48000;
            if (t - lastLoud > 5000) onsets.push_back(t);
            lastLoud = t;
        }
    }
    ASSERT_GE(keys.size(), 2u);
    ASSERT_EQ(onsets.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_NEAR(onsets[i], keys[i], 1000);

    ASSERT_TRUE(sim.ok("stream p still"));
    const uint64_t settled = tickMs() + 100;  // what was already on its way
    while (tickMs() < settled) client.receive(100);
    int sound = 0;
    const uint64_t stillEnd = tickMs() + 500;
    while (tickMs() < stillEnd) {
        const Received r = client.receive(700);
        ASSERT_TRUE(r.ok) << "a still screen's sound goes on";
        EXPECT_NE(r.type, 3);
        sound += r.type == 5;
    }
    EXPECT_GT(sound, 20);
    ASSERT_TRUE(sim.ok("stream p moving"));
    EXPECT_TRUE(client.receiveType(3).ok);
}

TEST_F(Stream, StallDropAndBrokenPackets) {
    startLiveApp();
    PacketClient client;
    ASSERT_TRUE(openStream(client, port, {}));
    ASSERT_TRUE(client.receiveType(3).ok);
    ASSERT_TRUE(sim.ok("stream p stall"));
    sleepMs(100);  // what was already on its way
    while (client.receive(50).ok) {
    }
    client.send(8, u64(1));
    EXPECT_FALSE(client.receive(500).ok) << "a stalled phone sends nothing, not even a pong";
    ASSERT_TRUE(sim.ok("stream p resume"));
    ASSERT_TRUE(client.receiveType(3).ok);

    // Broken packets arrive whole, in order, and the stream goes on after them.
    ASSERT_TRUE(sim.ok("stream p malformed"));
    std::vector<std::pair<int, size_t>> odd;
    while (odd.size() < 5) {
        const Received r = client.receive(2000);
        ASSERT_TRUE(r.ok);
        if (r.type == 3 || r.type == 5 || r.type == 6 || r.type == 13) continue;
        odd.emplace_back(r.type, r.payload.size());
    }
    EXPECT_EQ(odd, (std::vector<std::pair<int, size_t>>{{2, 4}, {4, 3}, {9, 3}, {99, 5}, {7, 3}}));
    ASSERT_TRUE(client.receiveType(3).ok);

    // An over-long announcement: a header claiming one byte past 16 MiB.
    ASSERT_TRUE(sim.ok("stream p overlong"));
    uint8_t raw[16];
    while (true) {
        client.socket()->setReceiveTimeout(2000);
        ASSERT_EQ(client.socket()->receiveAll(raw, 16).status, RecvStatus::Data);
        const PacketHeader hd = decodeHeader(raw);
        if (hd.length == kMaxPayloadSize + 1) break;
        std::string skip(hd.length, '\0');
        if (hd.length > 0) {
            ASSERT_EQ(client.socket()->receiveAll(skip.data(), hd.length).status, RecvStatus::Data);
        }
    }

    PacketClient second;
    ASSERT_TRUE(openStream(second, port, {}));
    EXPECT_EQ(sim.ask("stream p drop"), "2\n");
    EXPECT_TRUE(second.closedWithin(2000));
}

TEST_F(Stream, APacketOfExactlyTheLargestSizeArrivesWhole) {
    startLiveApp();
    PacketClient client;
    ASSERT_TRUE(openStream(client, port, {}));
    ASSERT_TRUE(sim.ok("stream p maxsize"));
    const Received big = client.receiveType(14, 5000);
    ASSERT_TRUE(big.ok);
    EXPECT_EQ(big.payload.size(), kMaxPayloadSize);
    EXPECT_TRUE(client.receiveType(3).ok) << "the stream goes on";
    EXPECT_FALSE(sim.ok("stream p sideways"));
}

TEST_F(Stream, HelloCanBeLateOrMissing) {
    startLiveApp("noHello=1");
    PacketClient client;
    ASSERT_TRUE(client.connect(port));
    client.send(7, "video=1");
    EXPECT_FALSE(client.receive(1500).ok);
    ASSERT_TRUE(sim.ok("phone p noHello=0 helloDelay=300"));
    const uint64_t start = tickMs();
    PacketClient late;
    ASSERT_TRUE(openStream(late, port, {}));
    EXPECT_GE(tickMs() - start, 280u);
}

TEST_F(Stream, AStateReportInPlaceOfTheHello) {
    startLiveApp("stateFirst=1");
    PacketClient client;
    ASSERT_TRUE(client.connect(port));
    client.send(7, "video=1");
    const Received first = client.receive(1500);
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.type, 6);
    EXPECT_EQ(client.receive(1500).type, 1);
}

TEST_F(Stream, GarbageOnTheDaemonPortLeavesItServing) {
    startLiveApp();
    for (const std::string& junk : {std::string("hello there, not a packet"),
                                    std::string("\x01\0\0\0\x7f\xff\xff\xff\0\0\0\0\0\0\0\0", 16),
                                    std::string("\x63\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0x", 17)}) {
        auto s = TcpSocket::connectLoopback(sim.port());
        ASSERT_TRUE(s);
        s->sendAll(junk.data(), junk.size());
        s->shutdown();
    }
    EXPECT_TRUE(adb("devices -l").ok);
    PacketClient client;
    EXPECT_TRUE(openStream(client, port, {}));
}

TEST_F(Stream, NoAppStreamLivesAsLongAsTheHelper) {
    startSim("phone p usb=S1\n");
    tov::test::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file(L"t.apk"), "helper"));
    ASSERT_TRUE(
        adb("-s S1 push \"" + narrow(dir.file(L"t.apk")) + "\" /data/local/tmp/tovenmar.apk").ok);
    port = freePort();
    ASSERT_TRUE(
        adb("-s S1 forward tcp:" + std::to_string(port) + " localabstract:tovenmar-stream").ok);
    PacketClient client;
    ASSERT_TRUE(client.connect(port));
    EXPECT_TRUE(client.closedWithin(2000)) << "no helper runs yet";

    std::unique_ptr<ChildProcess> helper =
        startAdb(tov::test::siblingProgram(L"adb"),
                 L"-s S1 shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
                 L"com.tovenmar.app.input.InputServer");
    ASSERT_TRUE(helper);
    ASSERT_TRUE(waitFor([&] { return sim.status("p").at("helper") == "1"; }, 5000));
    EXPECT_TRUE(helper->running());
    ASSERT_TRUE(openStream(client, port, {}));
    const Received state = client.receiveType(6);
    ASSERT_TRUE(state.ok);
    EXPECT_EQ(readTextMap(state.payload).at("mode"), "noapp");

    // A second helper cannot take the sockets of the first.
    EXPECT_FALSE(adb("-s S1 shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
                     "com.tovenmar.app.input.InputServer")
                     .ok);
    EXPECT_TRUE(adb("-s S1 shell pkill -f com.tovenmar.app.input.InputServer").ok);
    EXPECT_TRUE(helper->wait(3000)) << "the helper's adb ends with the helper";
    EXPECT_TRUE(client.closedWithin(2000));
    EXPECT_FALSE(adb("-s S1 shell pkill -f com.tovenmar.app.input.InputServer").ok);
}

TEST_F(Stream, KillingTheHelpersAdbEndsTheHelper) {
    startSim("phone p usb=S1 helper=" TOV_TEST_MEDIA_DIR "/make-clips.sh\n");
    std::unique_ptr<ChildProcess> helper =
        startAdb(tov::test::siblingProgram(L"adb"),
                 L"-s S1 shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
                 L"com.tovenmar.app.input.InputServer");
    ASSERT_TRUE(helper);
    ASSERT_TRUE(waitFor([&] { return sim.status("p").at("helper") == "1"; }, 5000));
    helper->terminate();
    EXPECT_TRUE(waitFor([&] { return sim.status("p").at("helper") == "0"; }, 5000));
}

}  // namespace
}  // namespace tov::phonesim::test
