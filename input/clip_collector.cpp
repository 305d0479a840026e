#include "input/clip_collector.h"

#include <algorithm>

#include "input/input_messages.h"
#include "session/packet.h"

namespace tov {

void ClipCollector::onHeader(const uint8_t* payload, size_t size) {
    if (size < 6) return;
    reset();
    const uint32_t total = readU32(payload + 2);
    if (total > kMaxPhoneClipSize) return;
    collecting_ = true;
    total_ = total;
    item_.kind = payload[0];
    item_.isPrivate = (payload[1] & 1) != 0;
    item_.mime.assign(reinterpret_cast<const char*>(payload) + 6, size - 6);
    item_.data.reserve(total);
}

void ClipCollector::onChunk(const uint8_t* payload, size_t size) {
    if (!collecting_) return;
    const size_t room = total_ - item_.data.size();
    item_.data.append(reinterpret_cast<const char*>(payload), std::min(room, size));
}

std::optional<ClipItem> ClipCollector::takeComplete() {
    if (!collecting_ || item_.data.size() < total_) return std::nullopt;
    ClipItem done = std::move(item_);
    reset();
    return done;
}

}  // namespace tov
