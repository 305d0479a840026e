// Putting a copy that came from the phone on the open, emptied clipboard.
#pragma once

#include <string>
#include <string_view>

#include "clipboard/clip_item.h"
#include "clipboard/clipboard_access.h"

namespace tov {

// A NUL-terminated CF_UNICODETEXT block of UTF-8 text: (units x 2 + 2) bytes.
std::string unicodeBlockFromText(std::string_view utf8);

// Text as CF_UNICODETEXT; any other kind as a bottom-up 32-bit CF_DIB plus "PNG" (the bytes as
// they came when they are "image/png", else re-encoded). Then the marker, and for a private item
// the two formats that keep it out of monitors and the clipboard history. False when the text or
// the DIB could not be put, or the picture could not be decoded.
bool putPhoneCopy(ClipboardSystem& clipboard, PictureCoder& coder, const ClipItem& item);

}  // namespace tov
