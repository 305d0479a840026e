#include "input/input_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "input/round_trip_meter.h"
#include "session/packet.h"

namespace tov {
namespace {

std::vector<uint8_t> bytes(const EventRecord& r) {
    return std::vector<uint8_t>(r.payload.begin(), r.payload.begin() + r.length);
}

// docs/phone-app.md §The input helper
TEST(InputMessages, ScreenFractionsRoundHalfAwayAndClamp) {
    EXPECT_EQ(screenFraction(0.0f), 0);
    EXPECT_EQ(screenFraction(1.0f), 65535);
    EXPECT_EQ(screenFraction(0.5f), 32768);  // 32767.5 rounds up
    EXPECT_EQ(screenFraction(-3.0f), 0);
    EXPECT_EQ(screenFraction(7.0f), 65535);
    EXPECT_EQ(screenFraction(NAN), 0);
    EXPECT_EQ(screenFraction(INFINITY), 65535);
}

// docs/phone-app.md §Messages from the PC
TEST(InputMessages, PayloadLayouts) {
    EXPECT_EQ(bytes(touchRecord(TouchAction::Move, 1, 0.75f, 0.25f)),
              (std::vector<uint8_t>{1, 1, 0xBF, 0xFF, 0x40, 0x00}));
    EXPECT_EQ(touchRecord(TouchAction::Up, 0, 0, 0).type, 20);
    // A wheel delta of 60 is half a step, sent as 60; -1 step is -120.
    EXPECT_EQ(bytes(scrollRecord(0, 1, 0.5f, -1.0f)),
              (std::vector<uint8_t>{0, 0, 0xFF, 0xFF, 0, 60, 0xFF, 0x88}));
    EXPECT_EQ(bytes(androidKeyRecord(true, 3, 0x3000, 7)),
              (std::vector<uint8_t>{0, 0, 0, 0, 3, 0, 0, 0x30, 0, 0, 7}));
    EXPECT_EQ(bytes(androidKeyRecord(false, 187, -1, 70000)),
              (std::vector<uint8_t>{1, 0, 0, 0, 187, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bytes(hidKeyRecord(0xE6, true)), (std::vector<uint8_t>{0xE6, 1}));
    EXPECT_EQ(bytes(mouseReportRecord(0x11, -2, 300, -127, 5)),
              (std::vector<uint8_t>{0x11, 0xFF, 0xFE, 0x01, 0x2C, 0x81, 5}));
    EXPECT_EQ(bytes(deviceModeOnRecord(3, true, 1.25f)), (std::vector<uint8_t>{3, 1, 0x04, 0xE2}));
    EXPECT_EQ(deviceModeOffRecord().length, 0);
    EXPECT_EQ(deviceModeOffRecord().type, 31);
    EXPECT_EQ(bytes(pingRecord(0x0102030405060708LL)),
              (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(InputMessages, OutOfRangeNumbersStayInTheirFields) {
    EXPECT_EQ(speedField(0.0f), 50);
    EXPECT_EQ(speedField(100.0f), 60000);
    EXPECT_EQ(speedField(NAN), 1000);
    EXPECT_EQ(scrollUnits(0.004f), 0);
    EXPECT_EQ(scrollUnits(-0.5f / 120), -1);  // half away from zero
    // A huge wheel turn must not wrap round to the opposite direction.
    EXPECT_EQ(scrollUnits(1000.0f), 32767);
    EXPECT_EQ(scrollUnits(-1000.0f), -32768);
    EXPECT_EQ(scrollUnits(NAN), 0);
}

// docs/phone-app.md §Packet header
TEST(InputMessages, FramesCarryTypeAndLengthWithZeroedReserves) {
    const std::vector<uint8_t> framed = frameRecord(hidKeyRecord(4, false));
    ASSERT_EQ(framed.size(), 18u);
    EXPECT_EQ(framed[0], 33);
    for (int i : {1, 2, 3, 8, 9, 10, 11, 12, 13, 14, 15}) EXPECT_EQ(framed[i], 0) << i;
    EXPECT_EQ(readU32(framed.data() + 4), 2u);
    EXPECT_EQ(framed[16], 4);
    EXPECT_EQ(framed[17], 0);
}

// docs/phone-app.md §Messages from the PC
TEST(InputMessages, ClipItemsGoOutAsAHeaderAndChunks) {
    ClipItem item;
    item.kind = 2;
    item.isPrivate = true;
    item.mime = "image/png";
    item.data.assign(2 * kClipChunkSize + 5, 'x');
    item.data.back() = 'y';
    const auto messages = clipMessages(item);
    ASSERT_EQ(messages.size(), 4u);
    const auto& h = messages[0];
    EXPECT_EQ(h[0], 51);
    EXPECT_EQ(readU32(h.data() + 4), 6u + 9u);
    EXPECT_EQ(h[16], 2);
    EXPECT_EQ(h[17], 1);
    EXPECT_EQ(readU32(h.data() + 18), item.data.size());
    EXPECT_EQ(std::string(h.begin() + 22, h.end()), "image/png");
    EXPECT_EQ(readU32(messages[1].data() + 4), kClipChunkSize);
    EXPECT_EQ(readU32(messages[3].data() + 4), 5u);
    EXPECT_EQ(messages[3].back(), 'y');
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(messages[i][0], 52);

    ClipItem empty;
    empty.mime = "text/plain";
    const auto only = clipMessages(empty);
    ASSERT_EQ(only.size(), 1u);
    EXPECT_EQ(readU32(only[0].data() + 18), 0u);
}

// docs/phone-app.md §Packet header, §Messages from the helper
TEST(InputMessages, PayloadLimitsAndNumbers) {
    EXPECT_EQ(helperPayloadLimit(1), 4096u);
    EXPECT_EQ(helperPayloadLimit(4), 4096u);
    EXPECT_EQ(helperPayloadLimit(51), 65536u);
    EXPECT_EQ(helperPayloadLimit(52), 65536u);
    const TextMap m = {{"a", "11"},          {"b", "-7"}, {"c", "12x"}, {"d", ""},
                       {"e", "99999999999"}, {"f", "+4"}, {"g", "-"}};
    EXPECT_EQ(textNumber(m, "a"), 11);
    EXPECT_EQ(textNumber(m, "b"), -7);
    EXPECT_EQ(textNumber(m, "c"), 0);
    EXPECT_EQ(textNumber(m, "d"), 0);
    EXPECT_EQ(textNumber(m, "e"), 0);
    EXPECT_EQ(textNumber(m, "f"), 4);
    EXPECT_EQ(textNumber(m, "g"), 0);
    EXPECT_EQ(textNumber(m, "missing"), 0);
}

TEST(RoundTripMeter, TenSamplesMakeOneSummaryThenCountingStartsAgain) {
    RoundTripMeter meter;
    int32_t ms = -1;
    for (int i = 1; i <= 9; ++i) EXPECT_FALSE(meter.add(i * 1000 + 499, ms));
    EXPECT_EQ(ms, 9);  // 9,499 us rounds to 9 ms
    const auto summary = meter.add(20500, ms);
    ASSERT_TRUE(summary);
    EXPECT_EQ(ms, 21);
    EXPECT_EQ(summary->maxMs, 21);
    EXPECT_NEAR(summary->averageMs, (45000 + 9 * 499 + 20500) / 10000.0, 1e-9);
    for (int i = 0; i < 9; ++i) EXPECT_FALSE(meter.add(1000, ms));
    const auto second = meter.add(1000, ms);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->maxMs, 1);  // the maximum started again too
    EXPECT_DOUBLE_EQ(second->averageMs, 1.0);
}

}  // namespace
}  // namespace tov
