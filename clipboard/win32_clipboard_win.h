// The Windows clipboard, opened for the clipboard thread's listener window.
#pragma once

#include <windows.h>

#include "clipboard/clipboard_access.h"

namespace tov {

// The clipboard format number of one of the program's formats; the registered ones are
// registered on first use and keep their numbers for the life of the process.
UINT clipFormatId(ClipFormat format);

class Win32Clipboard : public ClipboardSystem {
  public:
    explicit Win32Clipboard(HWND owner) : owner_(owner) {}

    uint32_t sequenceNumber() override;
    // Up to 10 attempts, 20 ms apart: another program may hold it for a moment.
    bool open() override;
    void close() override;
    bool empty() override;
    bool has(ClipFormat format) override;
    std::optional<std::string> block(ClipFormat format, size_t maxBytes) override;
    bool put(ClipFormat format, std::string_view bytes) override;

  private:
    HWND owner_;
};

}  // namespace tov
