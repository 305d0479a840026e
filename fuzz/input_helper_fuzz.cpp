// What the phone's input helper sends, on arbitrary bytes: the frames as the link splits them,
// each message through the helper inbox. Nothing may crash or hang; screen sizes must be the
// decimal values the text carries; and every clipboard item handed on must be exactly what a
// plain reading of its header and chunks gives (an item the PC sends the same way must come back
// whole).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "input/clip_collector.h"
#include "input/helper_inbox.h"
#include "input/input_messages.h"
#include "session/packet.h"

namespace {

// The item the messages so far announce, and its data so far.
struct ExpectedItem {
    tov::ClipItem item;
    uint32_t total = 0;
};

// A number the inbox reports is the whole value's decimal reading, or 0.
void checkNumber(const tov::TextMap& map, const std::string& key, int32_t reported) {
    const std::string& s = map.at(key);
    if (reported == 0) return;
    REQUIRE(!s.empty() && s.find_first_not_of("+-0123456789") == std::string::npos);
    REQUIRE(std::strtoll(s.c_str(), nullptr, 10) == reported);
}

void sendsBackWhole(const tov::ClipItem& item) {
    tov::ClipCollector collector;
    std::optional<tov::ClipItem> done;
    for (const std::vector<uint8_t>& message : tov::clipMessages(item)) {
        const tov::PacketHeader h = tov::decodeHeader(message.data());
        REQUIRE(h.length == message.size() - tov::kPacketHeaderSize);
        REQUIRE(h.length <= tov::helperPayloadLimit(h.type));
        const uint8_t* payload = message.data() + tov::kPacketHeaderSize;
        if (h.type == tov::input_msg::kClipHeader) {
            collector.onHeader(payload, h.length);
        } else {
            collector.onChunk(payload, h.length);
        }
        REQUIRE(!done);
        done = collector.takeComplete();
    }
    REQUIRE(done && done->kind == item.kind && done->isPrivate == item.isPrivate);
    REQUIRE(done->mime == item.mime && done->data == item.data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tov;
    std::optional<ExpectedItem> expected;
    std::vector<ClipItem> handed;
    int screenReports = 0;
    int32_t width = 0, height = 0;
    HelperReports reports;
    reports.screenSize = [&](int32_t w, int32_t h) {
        ++screenReports;
        width = w;
        height = h;
    };
    reports.mouseState = [](int32_t exact) { REQUIRE(exact == 0 || exact == 1); };
    reports.pong = [](int64_t) {};
    reports.clip = [&](ClipItem item) {
        REQUIRE(item.data.size() <= kMaxPhoneClipSize);
        handed.push_back(std::move(item));
    };
    HelperInbox inbox(reports);

    size_t at = 0;
    while (size - at >= kPacketHeaderSize) {
        const PacketHeader h = decodeHeader(data + at);
        at += kPacketHeaderSize;
        // An over-long or cut message ends the connection, as on the link.
        if (h.length > helperPayloadLimit(h.type) || h.length > size - at) break;
        const uint8_t* payload = data + at;
        at += h.length;

        // What a plain reading expects of this message.
        if (h.type == input_msg::kClipHeader && h.length >= 6) {
            expected.reset();
            const uint32_t total = readU32(payload + 2);
            if (total <= kMaxPhoneClipSize) {
                expected = ExpectedItem{};
                expected->item.kind = payload[0];
                expected->item.isPrivate = (payload[1] & 1) != 0;
                expected->item.mime.assign(reinterpret_cast<const char*>(payload) + 6,
                                           h.length - 6);
                expected->total = total;
            }
        } else if (h.type == input_msg::kClipChunk && expected) {
            const size_t room = expected->total - expected->item.data.size();
            expected->item.data.append(reinterpret_cast<const char*>(payload),
                                       h.length < room ? h.length : room);
        }

        const int screensBefore = screenReports;
        const size_t handedBefore = handed.size();
        inbox.onMessage(h.type, payload, h.length);

        if (h.type == input_msg::kScreenSize) {
            const TextMap map = readTextMap(reinterpret_cast<const char*>(payload), h.length);
            const bool complete = map.count("width") && map.count("height");
            REQUIRE(screenReports == screensBefore + (complete ? 1 : 0));
            if (complete) {
                checkNumber(map, "width", width);
                checkNumber(map, "height", height);
            }
        }
        const bool finished = expected && expected->item.data.size() == expected->total;
        REQUIRE(handed.size() == handedBefore + (finished ? 1 : 0));
        if (finished) {
            const ClipItem& done = handed.back();
            REQUIRE(done.kind == expected->item.kind && done.isPrivate == expected->item.isPrivate);
            REQUIRE(done.mime == expected->item.mime && done.data == expected->item.data);
            sendsBackWhole(done);
            expected.reset();
        }
    }
    return 0;
}
