#include "platform/files.h"
#include "platform/paths.h"

namespace tov {

std::wstring joinPath(const std::wstring& a, const std::wstring& b) {
    if (a.empty()) return b;
    const wchar_t last = a.back();
    if (last == L'\\' || last == L'/') return a + b;
    return a + kPathSep + b;
}

std::wstring localAppDataFolder() {
    bool present = false;
    const std::wstring value = getEnv(L"LOCALAPPDATA", &present);
    if (!present) return {};
    // Empty, the folder would be relative to wherever the program was started.
    return value.empty() ? knownLocalAppDataFolder() : value;
}

std::wstring programDataFolder() {
    const std::wstring base = localAppDataFolder();
    if (base.empty() || base.size() >= 260) return {};
    std::wstring folder = joinPath(base, L"Tovenmar");
    createDirectory(folder);
    return folder;
}

std::wstring programDataFile(const wchar_t* name) {
    const std::wstring folder = programDataFolder();
    if (folder.empty()) return {};
    return joinPath(folder, name);
}

}  // namespace tov
