#include "video/thread_name_win.h"

#include <windows.h>

namespace tov {

void nameThisThread(const wchar_t* name) {
    // Looked up rather than linked: older Windows 10 builds lack it.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto set = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (set) set(GetCurrentThread(), name);
}

}  // namespace tov
