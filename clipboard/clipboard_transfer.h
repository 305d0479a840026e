// The clipboard sync's work on its thread, over any clipboard: reading a PC copy for the phone
// and writing a phone copy onto the PC clipboard, with the echo and duplicate rules and the log.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "clipboard/clip_item.h"
#include "clipboard/clipboard_access.h"
#include "clipboard/copy_filters.h"

namespace tov {

class ClipboardTransfer {
  public:
    using Clock = std::function<uint64_t()>;
    // The clock gives milliseconds; the tick count unless a test brings its own.
    explicit ClipboardTransfer(Clock nowMs = {});

    // Set only while no clipboard thread runs; receives every PC copy accepted for sending.
    void setOnPcCopy(ClipItemHandler onPcCopy) { onPcCopy_ = std::move(onPcCopy); }
    bool hasOnPcCopy() const { return static_cast<bool>(onPcCopy_); }
    // From any thread.
    void setOptions(bool sharePictures, bool sharePasswords);

    // After the clipboard changed: hands a fresh, acceptable PC copy to onPcCopy.
    void readPcCopy(ClipboardSystem& clipboard, PictureCoder& coder);
    // Puts the item on the clipboard and remembers the write, so that it is not read back.
    void writePhoneCopy(ClipboardSystem& clipboard, PictureCoder& coder, const ClipItem& item);
    // How many clipboard changes readPcCopy has looked at, sent or not (from any thread).
    uint64_t readsDone() const { return readsDone_.load(); }

  private:
    Clock nowMs_;
    ClipItemHandler onPcCopy_;
    std::atomic<bool> sharePictures_{false};
    std::atomic<bool> sharePasswords_{false};
    OwnWriteMark ownWrite_;
    DuplicateFilter duplicates_;
    std::atomic<uint64_t> readsDone_{0};
};

}  // namespace tov
