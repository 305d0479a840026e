#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/paths.h"

namespace tov {

std::wstring getEnv(const wchar_t* name, bool* present) {
    wchar_t small[512];
    // An empty value also returns 0; only the error code tells it from an unset one.
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableW(name, small, 512);
    if (n == 0) {
        const bool exists = GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        if (present) *present = exists;
        return {};
    }
    if (present) *present = true;
    if (n < 512) return std::wstring(small, n);
    std::wstring big(n, L'\0');
    n = GetEnvironmentVariableW(name, big.data(), n);
    big.resize(n);
    return big;
}

bool setEnv(const wchar_t* name, const wchar_t* value) {
    return SetEnvironmentVariableW(name, value) != 0;
}

std::wstring exePath() {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::wstring(buffer, n);
}

std::wstring exeFolder() {
    const std::wstring path = exePath();
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::wstring tempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) return {};
    return std::wstring(buffer, n);
}

std::wstring knownLocalAppDataFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)) && path) {
        folder = path;
    }
    CoTaskMemFree(path);
    return folder;
}

std::wstring searchPath(const wchar_t* fileName) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = SearchPathW(nullptr, fileName, nullptr, MAX_PATH, buffer, nullptr);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::wstring(buffer, n);
}

}  // namespace tov
