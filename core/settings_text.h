// Texts in settings.ini, the one way every section writes and reads them: UTF-8 inside the
// program, wide (UTF-16 on Windows) in the file, and always one line.
#pragma once

#include <string>
#include <string_view>

namespace tov {

// The value as UTF-8, or `def` when the key is missing. At most bufferUnits - 1 wide units are
// read.
std::string readSettingsText(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                             std::string_view def, size_t bufferUnits);

// Writes the value. Many texts come from the phone (its key and name, preset and encoder names):
// a line break in one would end the entry and let the rest pose as keys or sections of the file,
// so line breaks and NULs are written as "?".
bool writeSettingsText(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                       std::string_view value);

}  // namespace tov
