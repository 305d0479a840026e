#include "clipboard/picture_copy.h"

#include "clipboard/dib.h"

namespace tov {

bool putBitmap(ClipboardSystem& clipboard, const Bitmap& bitmap, std::string_view png) {
    const std::string dib = dibFromBitmap(bitmap);
    const bool ok = !dib.empty() && clipboard.put(ClipFormat::Dib, dib);
    if (!png.empty()) clipboard.put(ClipFormat::Png, png);
    return ok;
}

bool copyPicture(ClipboardSystem& clipboard, const Bitmap& bitmap, std::string_view png) {
    if (!clipboard.open()) return false;
    const bool ok = clipboard.empty() && putBitmap(clipboard, bitmap, png);
    clipboard.put(ClipFormat::Marker, std::string_view("\0", 1));
    clipboard.close();
    return ok;
}

}  // namespace tov
