// What the clipboard rules need from the operating system's clipboard and image coding. The
// Windows clipboard and the imaging component implement these; the rules above them stay
// portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/bitmap.h"

namespace tov {

enum class ClipFormat {
    UnicodeText,            // CF_UNICODETEXT
    Dib,                    // CF_DIB
    Png,                    // registered "PNG"
    Marker,                 // registered "Tovenmar": the program's own write
    ExcludeFromMonitoring,  // registered "ExcludeClipboardContentFromMonitorProcessing"
    HistoryPermission,      // registered "CanIncludeInClipboardHistory"
    ViewerIgnore,           // registered "Clipboard Viewer Ignore"
};

// The clipboard; every call but sequenceNumber and open needs it open.
class ClipboardSystem {
  public:
    virtual ~ClipboardSystem() = default;
    virtual uint32_t sequenceNumber() = 0;
    // Gives up (false) when the clipboard stays busy.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool empty() = 0;
    virtual bool has(ClipFormat format) = 0;
    // The format's data: nullopt when the clipboard has none; an empty block when it is empty or
    // larger than maxBytes.
    virtual std::optional<std::string> block(ClipFormat format, size_t maxBytes) = 0;
    // Puts a copy of the bytes (at least one byte is allocated) on the clipboard.
    virtual bool put(ClipFormat format, std::string_view bytes) = 0;
};

class PictureCoder {
  public:
    virtual ~PictureCoder() = default;
    // Any image format the coder knows (PNG, BMP, JPEG...); nullopt when it cannot.
    virtual std::optional<Bitmap> decode(std::string_view encoded) = 0;
    // Empty on failure.
    virtual std::string encodePng(const Bitmap& bitmap) = 0;
};

}  // namespace tov
