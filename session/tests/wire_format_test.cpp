// The bytes of the stream: packet headers and text maps.
#include <gtest/gtest.h>

#include "session/packet.h"
#include "session/text_map.h"

namespace tov {
namespace {

// docs/phone-app.md §Packet header
TEST(PacketHeader, OutgoingPacketIsBigEndianWithZeroFlagsReservedAndTimeStamp) {
    const uint8_t payload[] = {0xAA, 0xBB, 0xCC};
    const std::vector<uint8_t> out = buildOutgoingPacket(PacketType::InputMode, payload, 3);
    const std::vector<uint8_t> expected = {12, 0, 0, 0, 0, 0, 0,    3,    0,   0,
                                           0,  0, 0, 0, 0, 0, 0xAA, 0xBB, 0xCC};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(buildOutgoingPacket(PacketType::Stop, nullptr, 0).size(), kPacketHeaderSize);
}

// docs/phone-app.md §Packet header
TEST(PacketHeader, DecodesEveryFieldAndIgnoresTheReservedBytes) {
    const uint8_t in[16] = {3,    0x01, 0xFF, 0xEE, 0x01, 0x02, 0x03, 0x04,
                            0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0x34};
    const PacketHeader h = decodeHeader(in);
    EXPECT_EQ(h.type, 3);
    EXPECT_EQ(h.flags, 1);
    EXPECT_EQ(h.length, 0x01020304u);
    EXPECT_EQ(static_cast<uint64_t>(h.timestamp), 0x8000000000001234ull);

    uint8_t back[16];
    encodeHeader(h, back);
    EXPECT_EQ(back[2], 0);
    EXPECT_EQ(back[3], 0);
    EXPECT_EQ(decodeHeader(back).length, h.length);
    EXPECT_EQ(decodeHeader(back).timestamp, h.timestamp);
}

// docs/phone-app.md §Text map
TEST(TextMap, WritesKeysInAscendingByteOrderWithoutTrailingNewline) {
    // Upper case sorts before lower case in byte order.
    const TextMap map = {{"video", "1"}, {"shapeName", "16:9"}, {"audio", "0"}, {"Z", ""}};
    EXPECT_EQ(writeTextMap(map), "Z=\naudio=0\nshapeName=16:9\nvideo=1");
    EXPECT_EQ(writeTextMap({}), "");
}

// docs/phone-app.md §Text map
TEST(TextMap, LeavesOutPairsThatCouldForgeOtherKeys) {
    const TextMap map = {{"a", "1"}, {"bad", "x\ninjected=1"}, {"k=v", "2"}, {"", "3"}, {"z", "4"}};
    const std::string text = writeTextMap(map);
    EXPECT_EQ(text, "a=1\nz=4");
    EXPECT_EQ(readTextMap(text), (TextMap{{"a", "1"}, {"z", "4"}}));
}

// docs/phone-app.md §Text map
TEST(TextMap, ReadUsesTheFirstEqualsSignAndTheLastLineWins) {
    struct Case {
        const char* text;
        TextMap expected;
    };
    const Case cases[] = {
        {"", {}},
        {"noequals\n=starts\nkey=a=b", {{"key", "a=b"}}},
        {"k=1\nk=2", {{"k", "2"}}},
        {"k=", {{"k", ""}}},
        {"a=1\n\nb=2\n", {{"a", "1"}, {"b", "2"}}},
        {"device=Pixel 7\r", {{"device", "Pixel 7\r"}}},  // only "\n" separates lines
        {"x==", {{"x", "="}}},
    };
    for (const Case& c : cases) EXPECT_EQ(readTextMap(std::string(c.text)), c.expected) << c.text;
}

// docs/phone-app.md §Text map
TEST(TextMap, RoundTripsEveryValueThatCanTravel) {
    const TextMap map = {{"decoders", "h264,hevc"},
                         {"encoder", ""},
                         {"shapeName", "2.35:1"},
                         {"utf8", "caf\xC3\xA9"},
                         {"eq", "a=b=c"}};
    EXPECT_EQ(readTextMap(writeTextMap(map)), map);
}

}  // namespace
}  // namespace tov
