#include "clipboard/phone_copy.h"

#include "clipboard/picture_copy.h"
#include "platform/text.h"

namespace tov {
namespace {

bool putPicture(ClipboardSystem& clipboard, PictureCoder& coder, const ClipItem& item) {
    const auto bitmap = coder.decode(item.data);
    if (!bitmap) return false;
    const std::string png = item.mime == "image/png" ? item.data : coder.encodePng(*bitmap);
    return putBitmap(clipboard, *bitmap, png);
}

}  // namespace

std::string unicodeBlockFromText(std::string_view utf8) {
    const std::u16string units = utf8ToUtf16(utf8);
    std::string block;
    block.reserve(units.size() * 2 + 2);
    for (char16_t u : units) {
        block += static_cast<char>(u & 0xFF);
        block += static_cast<char>(u >> 8);
    }
    block.append(2, '\0');
    return block;
}

bool putPhoneCopy(ClipboardSystem& clipboard, PictureCoder& coder, const ClipItem& item) {
    const bool ok = item.kind == kClipText
                        ? clipboard.put(ClipFormat::UnicodeText, unicodeBlockFromText(item.data))
                        : putPicture(clipboard, coder, item);
    clipboard.put(ClipFormat::Marker, std::string_view("\0", 1));
    if (item.isPrivate) {
        clipboard.put(ClipFormat::ExcludeFromMonitoring, std::string_view("\0", 1));
        clipboard.put(ClipFormat::HistoryPermission, std::string_view("\0\0\0\0", 4));
    }
    return ok;
}

}  // namespace tov
