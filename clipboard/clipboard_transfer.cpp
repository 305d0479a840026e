#include "clipboard/clipboard_transfer.h"

#include <string_view>

#include "core/log.h"
#include "clipboard/pc_copy.h"
#include "clipboard/phone_copy.h"
#include "platform/clock.h"

namespace tov {
namespace {

// The phone names the type of its copies freely; a line break or other control byte in it must
// not start a made-up line in the log.
std::string loggableMime(std::string_view mime) {
    std::string out(mime.substr(0, 100));
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return out;
}

}  // namespace

ClipboardTransfer::ClipboardTransfer(Clock nowMs)
    : nowMs_(nowMs ? std::move(nowMs) : Clock([] { return tickMs(); })) {}

void ClipboardTransfer::setOptions(bool sharePictures, bool sharePasswords) {
    sharePictures_.exchange(sharePictures);
    sharePasswords_.exchange(sharePasswords);
}

void ClipboardTransfer::readPcCopy(ClipboardSystem& clipboard, PictureCoder& coder) {
    struct Counted {
        std::atomic<uint64_t>& reads;
        ~Counted() { ++reads; }
    } counted{readsDone_};
    if (ownWrite_.stillOwn(clipboard.sequenceNumber())) return;
    if (!clipboard.open()) return;
    const ShareOptions options{sharePictures_.load(), sharePasswords_.load()};
    std::optional<ClipItem> item = takePcCopy(clipboard, coder, options);
    clipboard.close();
    if (!item) return;
    if (!duplicates_.pass(item->data, nowMs_()) || !onPcCopy_) return;
    logLine("clipboard: PC copy, %s, %zu bytes%s", item->mime.c_str(), item->data.size(),
            item->isPrivate ? ", private" : "");
    onPcCopy_(std::move(*item));
}

void ClipboardTransfer::writePhoneCopy(ClipboardSystem& clipboard, PictureCoder& coder,
                                       const ClipItem& item) {
    if (!clipboard.open()) return;
    clipboard.empty();
    const bool ok = putPhoneCopy(clipboard, coder, item);
    clipboard.close();
    ownWrite_.remember(clipboard.sequenceNumber());
    logLine("clipboard: phone copy, %s, %zu bytes%s%s", loggableMime(item.mime).c_str(),
            item.data.size(), item.isPrivate ? ", private" : "",
            ok ? "" : " (couldn't put it on the clipboard)");
}

}  // namespace tov
