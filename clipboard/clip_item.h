// One clipboard item as it travels between the PC and the phone. Moved, never shared.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tov {

enum ClipKind : uint8_t {
    kClipText = 1,
    // Writing to the PC treats every kind other than text as a picture.
    kClipPicture = 2,
};

struct ClipItem {
    uint8_t kind = kClipText;
    // Its source asked clipboard monitors and the clipboard history to leave it alone.
    bool isPrivate = false;
    // "text/plain" or "image/png" when read on the PC; from the phone, whatever it sent.
    std::string mime;
    // Text: UTF-8 without terminator. Picture: the encoded image (PNG when read on the PC).
    std::string data;
};

using ClipItemHandler = std::function<void(ClipItem)>;

}  // namespace tov
