// A picture of the program's own on the PC clipboard: as a bottom-up 32-bit CF_DIB, which every
// program pastes, plus "PNG" for those that keep the exact pixels.
#pragma once

#include <string_view>

#include "clipboard/clipboard_access.h"

namespace tov {

// On the open, emptied clipboard: the DIB, then the PNG when one is given. False when the DIB
// could not be put.
bool putBitmap(ClipboardSystem& clipboard, const Bitmap& bitmap, std::string_view png);

// Opens and empties the clipboard, puts the picture and the marker that tells the clipboard
// sharing not to send it on, and closes it. False when the clipboard stayed busy or the DIB could
// not be put.
bool copyPicture(ClipboardSystem& clipboard, const Bitmap& bitmap, std::string_view png);

}  // namespace tov
