#include "phone/carried_package.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tov {

std::string loadCarriedPackage() {
    std::string bytes;
    if (!readFile(joinPath(exeFolder(), L"tovenmar.apk"), bytes)) return {};
    return bytes;
}

}  // namespace tov
