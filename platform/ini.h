// Private-profile (INI) files with the Windows rules: a missing file or key gives the default,
// an unreadable integer gives 0, a null value deletes the key, a null key deletes the section,
// names match without regard to case, and a write keeps every other line of the file.
// An empty path reads as a missing file and writes nothing.
#pragma once

#include <string>

namespace tov::ini {

int getInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int def);
// Reads into a buffer of `bufferUnits` wide units, so at most bufferUnits - 1 survive.
std::wstring getString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                       const wchar_t* def, size_t bufferUnits);
bool writeString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                 const wchar_t* value);

}  // namespace tov::ini
