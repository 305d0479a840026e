#include "clipboard/win32_clipboard_win.h"

#include <cstring>

namespace tov {
namespace {

constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryMs = 20;

struct RegisteredFormats {
    UINT png = RegisterClipboardFormatW(L"PNG");
    UINT marker = RegisterClipboardFormatW(L"Tovenmar");
    UINT exclude = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
    UINT history = RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
    UINT viewerIgnore = RegisterClipboardFormatW(L"Clipboard Viewer Ignore");
};

const RegisteredFormats& registeredFormats() {
    static const RegisteredFormats formats;
    return formats;
}

}  // namespace

UINT clipFormatId(ClipFormat format) {
    switch (format) {
        case ClipFormat::UnicodeText:
            return CF_UNICODETEXT;
        case ClipFormat::Dib:
            return CF_DIB;
        case ClipFormat::Png:
            return registeredFormats().png;
        case ClipFormat::Marker:
            return registeredFormats().marker;
        case ClipFormat::ExcludeFromMonitoring:
            return registeredFormats().exclude;
        case ClipFormat::HistoryPermission:
            return registeredFormats().history;
        case ClipFormat::ViewerIgnore:
            return registeredFormats().viewerIgnore;
    }
    return 0;
}

uint32_t Win32Clipboard::sequenceNumber() {
    return GetClipboardSequenceNumber();
}

bool Win32Clipboard::open() {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (OpenClipboard(owner_)) return true;
        Sleep(kOpenRetryMs);
    }
    return false;
}

void Win32Clipboard::close() {
    CloseClipboard();
}

bool Win32Clipboard::empty() {
    return EmptyClipboard() != FALSE;
}

bool Win32Clipboard::has(ClipFormat format) {
    const UINT id = clipFormatId(format);
    return id != 0 && IsClipboardFormatAvailable(id);
}

std::optional<std::string> Win32Clipboard::block(ClipFormat format, size_t maxBytes) {
    const UINT id = clipFormatId(format);
    if (id == 0) return std::nullopt;
    HANDLE data = GetClipboardData(id);
    if (!data) return std::nullopt;
    const SIZE_T size = GlobalSize(data);
    if (size == 0 || size > maxBytes) return std::string();
    const void* bytes = GlobalLock(data);
    if (!bytes) return std::string();
    std::string out(static_cast<const char*>(bytes), size);
    GlobalUnlock(data);
    return out;
}

bool Win32Clipboard::put(ClipFormat format, std::string_view bytes) {
    const UINT id = clipFormatId(format);
    if (id == 0) return false;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    if (!memory) return false;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return false;
    }
    if (bytes.empty()) {
        static_cast<char*>(target)[0] = 0;
    } else {
        std::memcpy(target, bytes.data(), bytes.size());
    }
    GlobalUnlock(memory);
    if (!SetClipboardData(id, memory)) {
        GlobalFree(memory);
        return false;
    }
    return true;  // the clipboard owns the block now
}

}  // namespace tov
