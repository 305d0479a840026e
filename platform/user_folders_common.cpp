#include <cstring>
#include <ctime>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/user_folders.h"

namespace tov {

std::string fileNamePart(const std::string& text) {
    constexpr size_t kMaxBytes = 64;
    std::string part;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool forbidden = byte < 0x20 || byte == 0x7F || std::strchr("<>:\"/\\|?*", c);
        part += forbidden ? '_' : c;
    }
    if (part.size() > kMaxBytes) {
        size_t end = kMaxBytes;
        // Never half a UTF-8 character: back to the start of the one cut.
        while (end > 0 && (static_cast<unsigned char>(part[end]) & 0xC0) == 0x80) --end;
        part.resize(end);
    }
    const size_t first = part.find_first_not_of(" .");
    if (first == std::string::npos) return {};
    return part.substr(first, part.find_last_not_of(" .") - first + 1);
}

std::wstring newUserFile(UserFolder which, const std::wstring& stem,
                         const std::wstring& extension) {
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
