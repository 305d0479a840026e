// Which callback each received packet reaches, and which packets are dropped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/packet_dispatch.h"

namespace tov {
namespace {

struct Recorder {
    std::vector<std::string> calls;
    SessionCallbacks callbacks;

    Recorder() {
        auto mapText = [](const std::map<std::string, std::string>& m) {
            std::string s;
            for (const auto& [k, v] : m) s += k + ":" + v + ";";
            return s;
        };
        callbacks.onHello = [this, mapText](const auto& m) {
            calls.push_back("hello " + mapText(m));
        };
        callbacks.onStreamState = [this, mapText](const auto& m) {
            calls.push_back("state " + mapText(m));
        };
        callbacks.onInputState = [this, mapText](const auto& m) {
            calls.push_back("input " + mapText(m));
        };
        callbacks.onVideoConfig = [this](int w, int h, int fps, int codec, const uint8_t* csd,
                                         size_t n) {
            calls.push_back("vconf " + std::to_string(w) + "x" + std::to_string(h) + "@" +
                            std::to_string(fps) + " c" + std::to_string(codec) + " " +
                            std::string(reinterpret_cast<const char*>(csd), n));
        };
        callbacks.onVideoPacket = [this](const uint8_t* d, size_t n, int64_t pts, bool key) {
            calls.push_back("video " + std::string(reinterpret_cast<const char*>(d), n) + " " +
                            std::to_string(pts) + (key ? " key" : ""));
        };
        callbacks.onAudioConfig = [this](int rate, int ch) {
            calls.push_back("aconf " + std::to_string(rate) + " " + std::to_string(ch));
        };
        callbacks.onAudioPacket = [this](const uint8_t* d, size_t n, int64_t pts) {
            calls.push_back("audio " + std::string(reinterpret_cast<const char*>(d), n) + " " +
                            std::to_string(pts));
        };
    }
};

Packet makePacket(uint8_t type, const std::vector<uint8_t>& payload, uint8_t flags = 0,
                  int64_t ts = 0) {
    Packet p;
    p.header.type = type;
    p.header.flags = flags;
    p.header.timestamp = ts;
    p.header.length = static_cast<uint32_t>(payload.size());
    p.payload = payload.data();
    p.size = payload.size();
    return p;
}

std::vector<uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

// docs/phone-app.md §Packet types, §Hello, §Video configuration, §Video, §Audio configuration,
// §Audio, §State report, §Input state
TEST(Dispatch, EachPhonePacketReachesItsCallbackWithItsFieldsDecoded) {
    Recorder r;
    ClockSync clock;
    const auto hello = bytes("device=Pixel 7\nx=1");
    const auto state = bytes("video=1\naudio=0\nmode=noapp");
    const auto input = bytes("keyboard=1\nmouse=0");
    const std::vector<uint8_t> vconf = {0x04, 0x38, 0x09, 0x60, 0x00, 0x3C, 0x00, 0x01, 'S', 'P'};
    const auto video = bytes("AU");
    const std::vector<uint8_t> aconf = {0x00, 0x00, 0xBB, 0x80, 0x00, 0x02, 0xFF, 0xFF};
    const auto audio = bytes("pcm!");

    EXPECT_TRUE(dispatch(makePacket(1, hello), r.callbacks, clock, 0));
    EXPECT_TRUE(dispatch(makePacket(6, state), r.callbacks, clock, 0));
    EXPECT_TRUE(dispatch(makePacket(13, input), r.callbacks, clock, 0));
    EXPECT_TRUE(dispatch(makePacket(2, vconf), r.callbacks, clock, 0));
    EXPECT_TRUE(dispatch(makePacket(3, video, 0x01, 123456789012LL), r.callbacks, clock, 0));
    EXPECT_TRUE(dispatch(makePacket(3, video, 0xFE, 5), r.callbacks, clock, 0));  // bit 0 only
    EXPECT_TRUE(dispatch(makePacket(4, aconf), r.callbacks, clock, 0));
    EXPECT_TRUE(dispatch(makePacket(5, audio, 0, 123456790000LL), r.callbacks, clock, 0));

    const std::vector<std::string> expected = {
        "hello device:Pixel 7;x:1;",
        "state audio:0;mode:noapp;video:1;",
        "input keyboard:1;mouse:0;",
        "vconf 1080x2400@60 c1 SP",
        "video AU 123456789012 key",
        "video AU 5",
        "aconf 48000 2",
        "audio pcm! 123456790000",
    };
    EXPECT_EQ(r.calls, expected);
}

// docs/phone-app.md §Packet types
TEST(Dispatch, EmptyPayloadsAreValidForEveryType) {
    Recorder r;
    ClockSync clock;
    const std::vector<uint8_t> none;
    EXPECT_TRUE(dispatch(makePacket(1, none), r.callbacks, clock, 0));  // an empty hello map
    EXPECT_TRUE(dispatch(makePacket(3, none), r.callbacks, clock, 0));
    EXPECT_TRUE(dispatch(makePacket(5, none), r.callbacks, clock, 0));
    EXPECT_TRUE(dispatch(makePacket(6, none), r.callbacks, clock, 0));
    EXPECT_EQ(r.calls, (std::vector<std::string>{"hello ", "video  0", "audio  0", "state "}));
    // Configurations of exactly 8 bytes carry no codec data.
    EXPECT_TRUE(dispatch(makePacket(2, std::vector<uint8_t>(8)), r.callbacks, clock, 0));
    EXPECT_EQ(r.calls.back(), "vconf 0x0@0 c0 ");
}

// docs/phone-app.md §Packet types
TEST(Dispatch, PacketsWithoutAUseAreDroppedWithoutSideEffects) {
    Recorder r;
    ClockSync clock;
    const std::vector<uint8_t> eight(8, 0x11);
    // Types the PC only sends, unknown types, and the gaps.
    for (int type : {0, 7, 8, 10, 11, 12, 14, 15, 100, 255}) {
        EXPECT_FALSE(dispatch(makePacket(static_cast<uint8_t>(type), eight), r.callbacks, clock, 0))
            << type;
    }
    // Configurations shorter than 8 bytes.
    EXPECT_FALSE(dispatch(makePacket(2, std::vector<uint8_t>(7)), r.callbacks, clock, 0));
    EXPECT_FALSE(dispatch(makePacket(4, std::vector<uint8_t>(7)), r.callbacks, clock, 0));
    EXPECT_FALSE(dispatch(makePacket(4, {}), r.callbacks, clock, 0));
    // Pongs that are not exactly 8 bytes.
    EXPECT_FALSE(dispatch(makePacket(9, std::vector<uint8_t>(7)), r.callbacks, clock, 100));
    EXPECT_FALSE(dispatch(makePacket(9, std::vector<uint8_t>(9)), r.callbacks, clock, 100));
    EXPECT_TRUE(r.calls.empty());
    EXPECT_EQ(clock.pongCount(), 0u);
    EXPECT_FALSE(clock.synced());
}

// docs/phone-app.md §Packet types
TEST(Dispatch, TypesWithAnEmptyCallbackAreDropped) {
    const SessionCallbacks none;
    ClockSync clock;
    const std::vector<uint8_t> eight(8);
    for (int type = 1; type <= 6; ++type) {
        EXPECT_FALSE(dispatch(makePacket(static_cast<uint8_t>(type), eight), none, clock, 0))
            << type;
    }
    EXPECT_FALSE(dispatch(makePacket(13, eight), none, clock, 0));
}

// docs/phone-app.md §Pong
TEST(Dispatch, PongFeedsTheClockWithTheEchoAndThePhoneTime) {
    const SessionCallbacks none;  // pongs need no callback
    ClockSync clock;
    const std::vector<uint8_t> echo = {0, 0, 0, 0, 0, 0, 0x03, 0xE8};  // sent at PC time 1000
    EXPECT_TRUE(dispatch(makePacket(9, echo, 0, 70050), none, clock, 1100));
    EXPECT_EQ(clock.pongCount(), 1u);
    EXPECT_EQ(clock.offset(), 70050 - 50 - 1000);
}

}  // namespace
}  // namespace tov
