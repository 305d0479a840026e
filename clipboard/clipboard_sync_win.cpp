#include <windows.h>
// After windows.h.
#include <objbase.h>

#include <memory>

#include "core/log.h"
#include "clipboard/clipboard_sync.h"
#include "clipboard/wic_coder_win.h"
#include "clipboard/win32_clipboard_win.h"

namespace tov {
namespace {

// The program's refresh message, here as a thread message carrying a heap ClipItem.
constexpr UINT kPhoneCopyMessage = WM_APP + 1;
constexpr UINT_PTR kSettleTimer = 1;
// A burst of clipboard changes is read once, this long after the last one.
constexpr UINT kSettleMs = 150;

bool isPhoneCopy(const MSG& msg) {
    return msg.message == kPhoneCopyMessage && !msg.hwnd;
}

}  // namespace

void ClipboardSync::start(ClipItemHandler onPcCopy) {
    if (thread_.joinable()) return;
    transfer_.setOnPcCopy(std::move(onPcCopy));
    thread_ = std::thread([this] { run(); });
    started_ = true;
}

void ClipboardSync::stop() {
    if (!thread_.joinable()) return;
    while (threadId_.load() == 0) Sleep(1);
    DWORD id = 0;
    {
        std::lock_guard lock(postLock_);
        id = threadId_.exchange(0);
    }
    PostThreadMessageW(id, WM_QUIT, 0, 0);
    thread_.join();
    started_ = false;
}

void ClipboardSync::setOptions(bool sharePictures, bool sharePasswords) {
    transfer_.setOptions(sharePictures, sharePasswords);
}

void ClipboardSync::putFromPhone(ClipItem item) {
    std::lock_guard lock(postLock_);
    const DWORD id = threadId_.load();
    if (id == 0) return;
    auto copy = std::make_unique<ClipItem>(std::move(item));
    if (PostThreadMessageW(id, kPhoneCopyMessage, 0, reinterpret_cast<LPARAM>(copy.get()))) {
        copy.release();  // the clipboard thread owns it now
    }
}

void ClipboardSync::run() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // gives the thread its message queue

    HWND window = CreateWindowExW(0, L"STATIC", L"Tovenmar clipboard", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        logLine("clipboard: no listener window (0x%08lx)", GetLastError());
    } else if (!AddClipboardFormatListener(window)) {
        logLine("clipboard: no clipboard listener (0x%08lx)", GetLastError());
    }
    threadId_.exchange(GetCurrentThreadId());

    Win32Clipboard clipboard(window);
    WicPictureCoder coder;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_CLIPBOARDUPDATE && window) {
            SetTimer(window, kSettleTimer, kSettleMs, nullptr);
        } else if (msg.message == WM_TIMER && window && msg.hwnd == window) {
            KillTimer(window, kSettleTimer);
            transfer_.readPcCopy(clipboard, coder);
        } else if (isPhoneCopy(msg)) {
            std::unique_ptr<ClipItem> item(reinterpret_cast<ClipItem*>(msg.lParam));
            transfer_.writePhoneCopy(clipboard, coder, *item);
        } else {
            DispatchMessageW(&msg);
        }
    }
    // Copies handed over before the stop are not written, but they are freed.
    while (PeekMessageW(&msg, nullptr, kPhoneCopyMessage, kPhoneCopyMessage, PM_REMOVE)) {
        if (isPhoneCopy(msg)) delete reinterpret_cast<ClipItem*>(msg.lParam);
    }

    if (window) {
        RemoveClipboardFormatListener(window);
        DestroyWindow(window);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace tov
