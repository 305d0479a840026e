// What the phone's input helper sends, on arbitrary bytes: the frames as the link splits them,
// each message through the helper inbox. Nothing may crash or hang, and a clipboard item handed
// on must be whole and within the size limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "input/helper_inbox.h"
#include "input/input_messages.h"
#include "session/packet.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tov;
    HelperReports reports;
    reports.screenSize = [](int32_t, int32_t) {};
    reports.mouseState = [](int32_t exact) { check(exact == 0 || exact == 1); };
    reports.pong = [](int64_t) {};
    reports.clip = [](ClipItem item) { check(item.data.size() <= kMaxPhoneClipSize); };
    HelperInbox inbox(reports);
    size_t at = 0;
    while (size - at >= kPacketHeaderSize) {
        const PacketHeader h = decodeHeader(data + at);
        at += kPacketHeaderSize;
        if (h.length > helperPayloadLimit(h.type) || h.length > size - at) break;
        inbox.onMessage(h.type, data + at, h.length);
        at += h.length;
    }
    return 0;
}
