// The App's picture port on Windows: screenshots encoded with the imaging component and put on
// the clipboard from the screenshot thread.
#include <windows.h>
// After windows.h.
#include <objbase.h>

#include "app/app_parts_win.h"
#include "clipboard/picture_copy.h"
#include "clipboard/wic_coder_win.h"
#include "clipboard/win32_clipboard_win.h"

namespace tov {

namespace {

// COM for the length of one call on a thread that may have none of its own.
class ComForThisCall {
  public:
    ComForThisCall() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComForThisCall() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComForThisCall(const ComForThisCall&) = delete;
    ComForThisCall& operator=(const ComForThisCall&) = delete;

  private:
    HRESULT result_;
};

class PicturePortWin final : public PicturePort {
  public:
    std::string encodePng(const Bitmap& picture) override {
        const ComForThisCall com;
        return WicPictureCoder().encodePng(picture);
    }

    bool copyToClipboard(const Bitmap& picture, const std::string& png) override {
        // Putting data on the clipboard needs an owner window; the data stays after it is gone.
        HWND owner = CreateWindowExW(0, L"STATIC", L"Tovenmar screenshot", 0, 0, 0, 0, 0,
                                     HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!owner) return false;
        Win32Clipboard clipboard(owner);
        const bool copied = copyPicture(clipboard, picture, png);
        DestroyWindow(owner);
        return copied;
    }
};

}  // namespace

std::unique_ptr<PicturePort> makePicturePortWin() {
    return std::make_unique<PicturePortWin>();
}

}  // namespace tov
