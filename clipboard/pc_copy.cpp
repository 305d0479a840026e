#include "clipboard/pc_copy.h"

#include <cstdint>

#include "clipboard/clip_limits.h"
#include "clipboard/dib.h"
#include "platform/text.h"

namespace tov {
namespace {

bool sizeWithin(size_t size, size_t maximum) {
    return size >= 1 && size <= maximum;
}

std::optional<ClipItem> takePicture(ClipboardSystem& clipboard, PictureCoder& coder) {
    ClipItem item;
    item.kind = kClipPicture;
    item.mime = "image/png";
    if (auto png = clipboard.block(ClipFormat::Png, kMaxPngBlockBytes)) {
        item.data = std::move(*png);
    } else if (auto dib = clipboard.block(ClipFormat::Dib, kMaxDibBlockBytes)) {
        item.data = pngFromDib(*dib, coder);
    } else {
        return std::nullopt;
    }
    if (!sizeWithin(item.data.size(), kMaxSentPictureBytes)) return std::nullopt;
    return item;
}

}  // namespace

bool historyBlockMarksPrivate(std::string_view block) {
    if (block.size() < 4 || block.size() > kMaxHistoryBlockBytes) return false;
    return block[0] == 0 && block[1] == 0 && block[2] == 0 && block[3] == 0;
}

bool isPrivateCopy(ClipboardSystem& clipboard) {
    if (clipboard.has(ClipFormat::ExcludeFromMonitoring) ||
        clipboard.has(ClipFormat::ViewerIgnore)) {
        return true;
    }
    const auto history = clipboard.block(ClipFormat::HistoryPermission, kMaxHistoryBlockBytes);
    return history && historyBlockMarksPrivate(*history);
}

std::string textFromUnicodeBlock(std::string_view block) {
    std::u16string units;
    units.reserve(block.size() / 2);
    for (size_t i = 0; i + 1 < block.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(block[i]) |
                                                (static_cast<unsigned char>(block[i + 1]) << 8));
        if (unit == 0) break;
        units += unit;
    }
    return utf16ToUtf8(units);
}

std::string pngFromDib(std::string_view dib, PictureCoder& coder) {
    const std::string bmp = dibToBmpFile(dib);
    if (bmp.empty()) return {};
    const auto bitmap = coder.decode(bmp);
    if (!bitmap) return {};
    return coder.encodePng(*bitmap);
}

std::optional<ClipItem> takePcCopy(ClipboardSystem& clipboard, PictureCoder& coder,
                                   ShareOptions options) {
    if (clipboard.has(ClipFormat::Marker)) return std::nullopt;
    const bool isPrivate = isPrivateCopy(clipboard);
    if (isPrivate && !options.passwords) return std::nullopt;

    std::optional<ClipItem> item;
    if (auto text = clipboard.block(ClipFormat::UnicodeText, kMaxTextBlockBytes)) {
        // Text wins over a picture, even when it turns out empty or too long.
        ClipItem t;
        t.kind = kClipText;
        t.mime = "text/plain";
        t.data = textFromUnicodeBlock(*text);
        if (sizeWithin(t.data.size(), kMaxSentTextBytes)) item = std::move(t);
    } else if (options.pictures) {
        item = takePicture(clipboard, coder);
    }
    if (item) item->isPrivate = isPrivate;
    return item;
}

}  // namespace tov
