// The name a file goes by in what the user reads (status lines, the log) and on the phone: the
// last part of its path, in UTF-8.
#pragma once

#include <string>

namespace tov {

// The part after the last "\" or "/"; the whole path when it has neither.
std::string fileName(const std::wstring& path);

}  // namespace tov
