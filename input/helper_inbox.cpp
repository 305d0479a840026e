#include "input/helper_inbox.h"

#include "input/input_messages.h"
#include "session/packet.h"
#include "session/text_map.h"

namespace tov {

void HelperInbox::onMessage(uint8_t type, const uint8_t* payload, size_t size) {
    const char* text = reinterpret_cast<const char*>(payload);
    switch (type) {
        case input_msg::kScreenSize: {
            const TextMap map = readTextMap(text, size);
            if (map.count("width") && map.count("height") && reports_.screenSize)
                reports_.screenSize(textNumber(map, "width"), textNumber(map, "height"));
            return;
        }
        case input_msg::kMouseState: {
            const TextMap map = readTextMap(text, size);
            const auto it = map.find("exact");
            if (reports_.mouseState) reports_.mouseState(it != map.end() && it->second == "1");
            return;
        }
        case input_msg::kPong:
            if (size == 8 && reports_.pong) reports_.pong(static_cast<int64_t>(readU64(payload)));
            return;
        case input_msg::kClipHeader:
        case input_msg::kClipChunk:
            if (type == input_msg::kClipHeader)
                clip_.onHeader(payload, size);
            else
                clip_.onChunk(payload, size);
            if (auto item = clip_.takeComplete()) {
                if (reports_.clip) reports_.clip(std::move(*item));
            }
            return;
        default:
            return;  // the hello again, or a message this program does not know
    }
}

}  // namespace tov
