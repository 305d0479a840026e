#include <windows.h>

#include <vector>

#include "platform/ini.h"

namespace tov::ini {

int getInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int def) {
    if (path.empty()) return def;
    return static_cast<int>(GetPrivateProfileIntW(section, key, def, path.c_str()));
}

std::wstring getString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                       const wchar_t* def, size_t bufferUnits) {
    if (bufferUnits == 0) return {};
    if (path.empty()) {
        std::wstring d = def ? def : L"";
        if (d.size() > bufferUnits - 1) d.resize(bufferUnits - 1);
        return d;
    }
    std::vector<wchar_t> buffer(bufferUnits, L'\0');
    const DWORD n = GetPrivateProfileStringW(section, key, def ? def : L"", buffer.data(),
                                             static_cast<DWORD>(bufferUnits), path.c_str());
    return std::wstring(buffer.data(), n);
}

bool writeString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                 const wchar_t* value) {
    if (path.empty()) return false;
    return WritePrivateProfileStringW(section, key, value, path.c_str()) != 0;
}

}  // namespace tov::ini
