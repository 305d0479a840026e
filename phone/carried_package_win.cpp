#include <windows.h>

#include "phone/carried_package.h"

namespace tov {

std::string loadCarriedPackage() {
    HRSRC found = FindResourceW(nullptr, L"TOVENMAR_APK", RT_RCDATA);
    if (!found) return {};
    const DWORD size = SizeofResource(nullptr, found);
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return {};
    return std::string(static_cast<const char*>(bytes), size);
}

}  // namespace tov
