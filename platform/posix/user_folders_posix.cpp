#include "platform/files.h"
#include "platform/paths.h"
#include "platform/user_folders.h"

namespace tov {

std::wstring userFolder(UserFolder which) {
    const std::wstring home = getEnv(L"HOME");
    if (home.empty()) return {};
    const std::wstring path = joinPath(home, which == UserFolder::Videos ? L"Videos" : L"Pictures");
    return createDirectory(path) ? path : std::wstring();
}

}  // namespace tov
