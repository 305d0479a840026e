#include <ctime>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/user_folders.h"

namespace tov {

std::wstring newUserFile(UserFolder which, const std::wstring& stem, const std::wstring& extension) {
    const std::wstring base = userFolder(which);
    if (base.empty()) return {};
    const std::wstring folder = joinPath(base, L"Tovenmar");
    if (!createDirectory(folder)) return {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    wchar_t stamp[32];
    std::wcsftime(stamp, 32, L"%Y-%m-%d %H-%M-%S", &local);
    const std::wstring name = stem + L" " + stamp;
    std::wstring path = joinPath(folder, name + extension);
    for (int n = 2; isFile(path) && n < 1000; ++n) {
        path = joinPath(folder, name + L" (" + std::to_wstring(n) + L")" + extension);
    }
    return path;
}

}  // namespace tov
