// For the end-to-end tests: reads or sets the Windows clipboard's text in the Wine prefix the
// program under test runs in (the same wineserver holds one clipboard for both).
//   clip_tool set TEXT   puts TEXT (UTF-8 on the command line) on the clipboard
//   clip_tool get        prints the clipboard's text as UTF-8, exit code 1 when there is none
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

bool openClipboard() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (OpenClipboard(nullptr)) return true;
        Sleep(50);
    }
    return false;
}

int setText(const wchar_t* text) {
    if (!openClipboard()) return 2;
    EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) {
        CloseClipboard();
        return 2;
    }
    std::memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    const bool ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!ok) GlobalFree(memory);
    CloseClipboard();
    return ok ? 0 : 2;
}

int getText() {
    if (!openClipboard()) return 2;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data) {
        CloseClipboard();
        return 1;
    }
    const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(data));
    const int wide = static_cast<int>(wcslen(text));
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, wide, utf8.data(), size, nullptr, nullptr);
    GlobalUnlock(data);
    CloseClipboard();
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"set") == 0) return setText(argv[2]);
    if (argc == 2 && std::wcscmp(argv[1], L"get") == 0) return getText();
    std::fputs("usage: clip_tool set TEXT | clip_tool get\n", stderr);
    return 2;
}
