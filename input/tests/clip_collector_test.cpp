#include "input/clip_collector.h"

#include <gtest/gtest.h>

#include <string>

#include "input/input_messages.h"
#include "session/packet.h"

namespace tov {
namespace {

std::string header(uint8_t kind, uint8_t privateByte, uint32_t total, const std::string& mime) {
    std::string h(6, '\0');
    h[0] = static_cast<char>(kind);
    h[1] = static_cast<char>(privateByte);
    writeU32(reinterpret_cast<uint8_t*>(h.data()) + 2, total);
    return h + mime;
}

void feedHeader(ClipCollector& c, const std::string& h) {
    c.onHeader(reinterpret_cast<const uint8_t*>(h.data()), h.size());
}
void feedChunk(ClipCollector& c, const std::string& d) {
    c.onChunk(reinterpret_cast<const uint8_t*>(d.data()), d.size());
}

TEST(ClipCollector, CollectsAcrossChunksAndIgnoresExtraBytes) {
    ClipCollector c;
    feedHeader(c, header(1, 0xFF, 7, "text/plain;charset=utf-8"));
    EXPECT_FALSE(c.takeComplete());
    feedChunk(c, "hel");
    EXPECT_FALSE(c.takeComplete());
    feedChunk(c, "lo, world");
    auto item = c.takeComplete();
    ASSERT_TRUE(item);
    EXPECT_EQ(item->kind, 1);
    EXPECT_TRUE(item->isPrivate);  // bit 0 of the flag byte
    EXPECT_EQ(item->mime, "text/plain;charset=utf-8");
    EXPECT_EQ(item->data, "hello, ");
    EXPECT_FALSE(c.takeComplete());  // delivered once
    feedChunk(c, "stray");           // a chunk without a header is ignored
    EXPECT_FALSE(c.collecting());
}

TEST(ClipCollector, AnEmptyItemIsCompleteAtOnce) {
    ClipCollector c;
    feedHeader(c, header(2, 2, 0, "image/png"));
    auto item = c.takeComplete();
    ASSERT_TRUE(item);
    EXPECT_FALSE(item->isPrivate);
    EXPECT_TRUE(item->data.empty());
}

TEST(ClipCollector, OversizedOrMalformedHeadersCollectNothing) {
    ClipCollector c;
    feedHeader(c, header(1, 0, kMaxPhoneClipSize + 1, "text/plain"));
    EXPECT_FALSE(c.collecting());
    feedChunk(c, "x");
    EXPECT_FALSE(c.takeComplete());
    feedHeader(c, header(1, 0, kMaxPhoneClipSize, ""));  // exactly the limit is fine
    EXPECT_TRUE(c.collecting());
    feedHeader(c, "\x01\x00\x00\x00");  // too short: ignored, the item in progress stays
    EXPECT_TRUE(c.collecting());
}

TEST(ClipCollector, ANewHeaderDropsTheHalfCollectedItem) {
    ClipCollector c;
    feedHeader(c, header(1, 0, 10, "a"));
    feedChunk(c, "12345");
    feedHeader(c, header(1, 0, 2, "b"));
    feedChunk(c, "xy");
    auto item = c.takeComplete();
    ASSERT_TRUE(item);
    EXPECT_EQ(item->mime, "b");
    EXPECT_EQ(item->data, "xy");
}

}  // namespace
}  // namespace tov
