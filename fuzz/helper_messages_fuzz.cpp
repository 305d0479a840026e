// What the input helper sends the PC, on arbitrary bytes: messages framed as the link reads them
// (a header, a payload within the type's limit), screen sizes and mouse states as key/value text,
// and clipboard items put together from a header and chunks. Every finished item must be exactly
// what a straightforward reading of the messages gives, and an item sent the way the PC sends one
// must come back whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "input/clip_collector.h"
#include "input/input_messages.h"
#include "session/packet.h"

namespace {

// The item a plain reading of the messages so far expects.
struct ExpectedItem {
    tov::ClipItem item;
    uint32_t total = 0;
};

void checkNumber(const tov::TextMap& map, const std::string& key) {
    const int32_t n = tov::textNumber(map, key);
    const auto it = map.find(key);
    if (it == map.end()) {
        REQUIRE(n == 0);
        return;
    }
    const std::string& s = it->second;
    const bool digits = !s.empty() && s.find_first_not_of("+-0123456789") == std::string::npos;
    if (n != 0) {
        // A number read must be the whole value's decimal reading.
        REQUIRE(digits);
        REQUIRE(std::strtoll(s.c_str(), nullptr, 10) == n);
    }
}

void feedBack(const tov::ClipItem& item) {
    tov::ClipCollector collector;
    std::optional<tov::ClipItem> done;
    for (const std::vector<uint8_t>& message : tov::clipMessages(item)) {
        REQUIRE(message.size() >= tov::kPacketHeaderSize);
        const tov::PacketHeader h = tov::decodeHeader(message.data());
        REQUIRE(h.length == message.size() - tov::kPacketHeaderSize);
        REQUIRE(h.length <= tov::helperPayloadLimit(h.type));
        const uint8_t* payload = message.data() + tov::kPacketHeaderSize;
        if (h.type == tov::input_msg::kClipHeader)
            collector.onHeader(payload, h.length);
        else
            collector.onChunk(payload, h.length);
        REQUIRE(!done);
        done = collector.takeComplete();
    }
    REQUIRE(done && done->kind == item.kind && done->isPrivate == item.isPrivate);
    REQUIRE(done->mime == item.mime && done->data == item.data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tov::ClipCollector collector;
    std::optional<ExpectedItem> expected;
    size_t at = 0;
    while (size - at >= tov::kPacketHeaderSize) {
        const tov::PacketHeader h = tov::decodeHeader(data + at);
        at += tov::kPacketHeaderSize;
        // An over-long message or a cut one ends the connection, as on the link.
        if (h.length > tov::helperPayloadLimit(h.type) || h.length > size - at) break;
        const uint8_t* payload = data + at;
        at += h.length;
        switch (h.type) {
            case tov::input_msg::kScreenSize:
            case tov::input_msg::kMouseState: {
                const tov::TextMap map =
                    tov::readTextMap(reinterpret_cast<const char*>(payload), h.length);
                checkNumber(map, "width");
                checkNumber(map, "height");
                checkNumber(map, "exact");
                break;
            }
            case tov::input_msg::kClipHeader:
                collector.onHeader(payload, h.length);
                if (h.length >= 6) {
                    expected.reset();
                    const uint32_t total = tov::readU32(payload + 2);
                    if (total <= tov::kMaxPhoneClipSize) {
                        expected = ExpectedItem{};
                        expected->item.kind = payload[0];
                        expected->item.isPrivate = payload[1] & 1;
                        expected->item.mime.assign(reinterpret_cast<const char*>(payload) + 6,
                                                   h.length - 6);
                        expected->total = total;
                    }
                }
                break;
            case tov::input_msg::kClipChunk:
                collector.onChunk(payload, h.length);
                if (expected) {
                    const size_t room = expected->total - expected->item.data.size();
                    expected->item.data.append(reinterpret_cast<const char*>(payload),
                                               h.length < room ? h.length : room);
                }
                break;
            default:
                break;
        }
        REQUIRE(collector.collecting() == expected.has_value());
        std::optional<tov::ClipItem> done = collector.takeComplete();
        const bool complete = expected && expected->item.data.size() == expected->total;
        REQUIRE(done.has_value() == complete);
        if (done) {
            REQUIRE(done->kind == expected->item.kind);
            REQUIRE(done->isPrivate == expected->item.isPrivate);
            REQUIRE(done->mime == expected->item.mime && done->data == expected->item.data);
            feedBack(*done);
            expected.reset();
            REQUIRE(!collector.collecting());
        }
    }
    return 0;
}
