#include <windows.h>
// after windows.h, which they need
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/user_folders.h"

namespace tov {

std::wstring userFolder(UserFolder which) {
    PWSTR path = nullptr;
    const KNOWNFOLDERID& id = which == UserFolder::Videos ? FOLDERID_Videos : FOLDERID_Pictures;
    std::wstring out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)) && path) out = path;
    CoTaskMemFree(path);
    return out;
}

}  // namespace tov
