#include "core/file_name.h"

#include "platform/text.h"

namespace tov {

std::string fileName(const std::wstring& path) {
    const size_t cut = path.find_last_of(L"\\/");
    return narrow(cut == std::wstring::npos ? path : path.substr(cut + 1));
}

}  // namespace tov
