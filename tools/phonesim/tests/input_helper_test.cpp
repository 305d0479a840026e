// The input helper seen from the PC: handshake, recorded events, pongs, clipboard both ways.
#include "tools/phonesim/input_helper.h"

#include "phone/adb_runner.h"
#include "platform/clock.h"
#include "session/packet.h"
#include "tests/support/test_support.h"
#include "platform/sha256.h"
#include "tools/phonesim/tests/sim_fixture.h"

namespace tov::phonesim::test {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

class InputHelper : public SimTest {
  protected:
    void startHelper(const std::string& extra = {}) {
        startSim("phone p usb=S1 screen=1080x2400 helper=" TOV_TEST_MEDIA_DIR "/make-clips.sh " +
                 extra + "\n");
        helper = startAdb(tov::test::siblingProgram(L"adb"),
                          L"-s S1 shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
                          L"com.tovenmar.app.input.InputServer");
        ASSERT_TRUE(helper);
        ASSERT_TRUE(waitFor([&] { return sim.status("p").at("helper") == "1"; }, 5000));
        port = freePort();
        ASSERT_TRUE(
            adb("-s S1 forward tcp:" + std::to_string(port) + " localabstract:tovenmar-input").ok);
    }

    TextMap connect(PacketClient& client) {
        if (!client.connect(port)) return {};
        const Received hello = client.receive(2000);
        if (!hello.ok || hello.type != 1) return {};
        return readTextMap(hello.payload);
    }

    void TearDown() override {
        if (helper) helper->terminate();
        SimTest::TearDown();
    }

    std::unique_ptr<ChildProcess> helper;
    uint16_t port = 0;
};

TEST_F(InputHelper, GreetsWithVersionAndScreenThenRecordsEveryEvent) {
    startHelper();
    PacketClient client;
    const TextMap hello = connect(client);
    EXPECT_EQ(hello.at("version"), "11");
    EXPECT_EQ(hello.at("width"), "1080");
    EXPECT_EQ(hello.at("height"), "2400");

    client.send(20, bytes({0, 1, 0x80, 0x00, 0xff, 0xff}));
    client.send(21, bytes({0, 0, 0, 0, 0xff, 0x88, 0x00, 0x78}));
    client.send(22, bytes({1, 0, 0, 0, 4, 0, 0, 0, 1, 0xff, 0xff}));
    client.send(30, bytes({1, 1, 0x03, 0xe8}));
    client.send(32, bytes({1, 0x80, 0x01, 0xff, 0xff, 0xff, 0x01}));
    client.send(33, bytes({4, 1}));
    client.send(31);
    client.send(50, "phoneToPc=1\npictures=0\npasswords=0");
    client.send(20, bytes({0, 1}));
    client.send(77, "x");
    // The exact mouse was asked for with device mode on: the phone says whether it took it.
    const Received state = client.receiveType(3);
    ASSERT_TRUE(state.ok);
    EXPECT_EQ(state.payload, "exact=1");
    client.send(40, bytes({0, 0, 0, 0, 0, 0, 0x30, 0x39}));
    const Received pong = client.receiveType(4);
    ASSERT_TRUE(pong.ok);
    EXPECT_EQ(pong.payload, bytes({0, 0, 0, 0, 0, 0, 0x30, 0x39}));

    ASSERT_TRUE(waitFor([&] { return sim.events("p").size() >= 10; }, 2000));
    EXPECT_EQ(sim.events("p"), (std::vector<std::string>{
                                   "touch action=0 pointer=1 x=32768 y=65535",
                                   "scroll x=0 y=0 h=-120 v=120",
                                   "key action=1 code=4 meta=1 repeat=65535",
                                   "devicemode bits=1 exact=1 speed=1000",
                                   "mouse buttons=1 dx=-32767 dy=-1 wheel=-1 hwheel=1",
                                   "hidkey usage=4 pressed=1",
                                   "devicemodeoff",
                                   "clipoptions phoneToPc=1 pictures=0 passwords=0",
                                   "touch bad size=2",
                                   "unknown type=77 size=1",
                               }));
}

TEST_F(InputHelper, ClipboardItemsInChunksBothWays) {
    startHelper();
    PacketClient client;
    ASSERT_FALSE(connect(client).empty());
    // From the PC: a header, then chunks of at most 32,768 bytes.
    std::string data(40000, 'a');
    data[39999] = 'z';
    std::string header = bytes({1, 1, 0, 0, 0x9c, 0x40}) + "text/plain";
    client.send(51, header);
    client.send(52, data.substr(0, 32768));
    client.send(52, data.substr(32768));
    client.send(51, bytes({2, 0, 0, 0, 0, 0}) + "image/png");  // an empty item is whole at once
    ASSERT_TRUE(waitFor([&] { return sim.clips("p").size() == 2; }, 2000));
    const std::vector<ClipItemRecord> clips = sim.clips("p");
    EXPECT_EQ(clips[0].kind, 1);
    EXPECT_TRUE(clips[0].isPrivate);
    EXPECT_EQ(clips[0].mime, "text/plain");
    EXPECT_TRUE(clips[0].data == data);
    EXPECT_EQ(clips[1].mime, "image/png");
    EXPECT_TRUE(clips[1].data.empty());
    // A picture is saved on the phone; the next one replaces it.
    client.send(51, bytes({2, 0, 0, 0, 0, 3}) + "image/png");
    client.send(52, "png");
    ASSERT_TRUE(waitFor([&] { return sim.clips("p").size() == 3; }, 2000));
    const std::vector<std::string> files = lines(sim.ask("files p"));
    std::vector<std::string> pictures;
    for (const std::string& f : files) {
        if (f.find("/sdcard/Pictures/Tovenmar/") != std::string::npos) pictures.push_back(f);
    }
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].substr(0, 64), sha256Hex("png"));

    // From the phone: the same framing towards the PC.
    tov::test::TempDir dir;
    ASSERT_TRUE(sim.ok("putclip p private text/plain 'hello phone'"));
    Received r = client.receiveType(51);
    ASSERT_TRUE(r.ok);
    ASSERT_GE(r.payload.size(), 6u);
    EXPECT_EQ(r.payload[0], 1);
    EXPECT_EQ(r.payload[1], 1);
    EXPECT_EQ(readU32(reinterpret_cast<const uint8_t*>(r.payload.data()) + 2), 11u);
    EXPECT_EQ(r.payload.substr(6), "text/plain");
    r = client.receiveType(52);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.payload, "hello phone");
}

TEST(ClipAssembler, KeepsToTheAnnouncedLength) {
    ClipAssembler assembler;
    ClipRecord item;
    EXPECT_FALSE(assembler.add(52, "stray chunk", item));
    EXPECT_FALSE(assembler.add(51, bytes({1, 0, 0, 0, 0, 4}) + "text/plain", item));
    EXPECT_TRUE(assembler.add(52, "abcdef", item));
    EXPECT_EQ(item.data, "abcd");
    EXPECT_FALSE(assembler.add(51, bytes({1, 0, 0}), item));  // too short to be a header
    EXPECT_FALSE(assembler.add(52, "x", item));
    // Past 20 MiB an item is not collected at all.
    EXPECT_FALSE(assembler.add(51, bytes({2, 0, 0x01, 0x40, 0x00, 0x01}) + "image/png", item));
    EXPECT_FALSE(assembler.add(52, std::string(1000, 'p'), item));
}

TEST_F(InputHelper, VersionTenAndScreenChangesAreSent) {
    startHelper("helperVersion=10");
    PacketClient client;
    EXPECT_EQ(connect(client).at("version"), "10");
    ASSERT_TRUE(sim.ok("phone p helperVersion=11"));
    PacketClient second;
    ASSERT_EQ(connect(second).at("version"), "11");
    ASSERT_TRUE(adb("-s S1 shell wm size 1080x1920").ok);
    const Received size = second.receiveType(2, 2000);
    ASSERT_TRUE(size.ok);
    EXPECT_EQ(readTextMap(size.payload), (TextMap{{"height", "1920"}, {"width", "1080"}}));
}

TEST_F(InputHelper, AHelperStartedRightAfterAKillKeepsItsConnections) {
    startHelper();
    ASSERT_TRUE(adb("-s S1 shell pkill -f com.tovenmar.app.input.InputServer").ok);
    // The killed helper's shell notices only a moment later; its ending must not touch the
    // helper that took its place.
    std::unique_ptr<ChildProcess> second =
        startAdb(tov::test::siblingProgram(L"adb"),
                 L"-s S1 shell CLASSPATH=/data/local/tmp/tovenmar.apk app_process / "
                 L"com.tovenmar.app.input.InputServer");
    ASSERT_TRUE(second);
    PacketClient client;
    ASSERT_TRUE(waitFor([&] { return !connect(client).empty(); }, 3000));
    EXPECT_FALSE(client.closedWithin(400));
    EXPECT_TRUE(helper->wait(2000));
    EXPECT_TRUE(second->running());
    second->terminate();
}

TEST_F(InputHelper, RefusedExactMouseAndAHelperThatDies) {
    startHelper("exact=0");
    PacketClient client;
    ASSERT_FALSE(connect(client).empty());
    client.send(30, bytes({3, 1, 0x03, 0xe8}));
    const Received state = client.receiveType(3);
    ASSERT_TRUE(state.ok);
    EXPECT_EQ(state.payload, "exact=0");
    ASSERT_TRUE(sim.ok("helper p kill"));
    EXPECT_TRUE(client.closedWithin(2000));
    EXPECT_TRUE(helper->wait(3000));
    EXPECT_EQ(helper->exitCode(), 143);
    // With no helper, the forward leads nowhere.
    PacketClient after;
    ASSERT_TRUE(after.connect(port));
    EXPECT_TRUE(after.closedWithin(2000));
}

}  // namespace
}  // namespace tov::phonesim::test
