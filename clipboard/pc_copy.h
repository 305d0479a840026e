// Reading a fresh PC copy off the open clipboard: which copies are the program's own, which are
// private, and what goes to the phone (text before a picture, within the size limits).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "clipboard/clip_item.h"
#include "clipboard/clipboard_access.h"

namespace tov {

struct ShareOptions {
    bool pictures = false;
    bool passwords = false;
};

// "CanIncludeInClipboardHistory" holding a first 32-bit value of 0 (blocks of 1 to 16 bytes
// count, and only when they hold 4 bytes).
bool historyBlockMarksPrivate(std::string_view block);
// Any of the three private marks on the open clipboard.
bool isPrivateCopy(ClipboardSystem& clipboard);

// UTF-8 of a CF_UNICODETEXT block: its UTF-16 units up to the first NUL or the block's end.
std::string textFromUnicodeBlock(std::string_view block);

// A CF_DIB block re-encoded as PNG; empty when it can't be.
std::string pngFromDib(std::string_view dib, PictureCoder& coder);

// The item to send for the copy on the open clipboard, or nothing: the program's own copy, a
// private copy without `passwords`, text that is empty or too long, a picture without
// `pictures`, or a picture that is empty or too large.
std::optional<ClipItem> takePcCopy(ClipboardSystem& clipboard, PictureCoder& coder,
                                   ShareOptions options);

}  // namespace tov
