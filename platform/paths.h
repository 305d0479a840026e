// Environment variables, the program's own location, and well-known folders.
#pragma once

#include <string>

namespace tov {

#ifdef _WIN32
inline constexpr wchar_t kPathSep = L'\\';
inline constexpr const wchar_t* kExeSuffix = L".exe";
#else
inline constexpr wchar_t kPathSep = L'/';
inline constexpr const wchar_t* kExeSuffix = L"";
#endif

// Value of an environment variable; empty when unset. `present` tells unset from empty.
std::wstring getEnv(const wchar_t* name, bool* present = nullptr);
// Sets (or, with a null value, removes) a variable of this process; children inherit it.
bool setEnv(const wchar_t* name, const wchar_t* value);

// Full path of the running executable (at most 260 units on Windows).
std::wstring exePath();
// Folder of the running executable, ending in a separator.
std::wstring exeFolder();
// The temporary folder, ending in a separator.
std::wstring tempFolder();
// Looks a file name up on the system search path; empty when not found.
std::wstring searchPath(const wchar_t* fileName);

// a + separator + b, without doubling a separator already at the end of a.
std::wstring joinPath(const std::wstring& a, const std::wstring& b);

// The user's local application data folder: LOCALAPPDATA; when it is set but empty (which would
// put files wherever the program was started), the folder Windows itself names for it
// (SHGetKnownFolderPath, FOLDERID_LocalAppData; natively there is none). Empty when LOCALAPPDATA
// is unset.
std::wstring localAppDataFolder();
// Windows' own local application data folder; empty natively or when it cannot be had.
std::wstring knownLocalAppDataFolder();

// localAppDataFolder() + separator + Tovenmar, created when missing. Empty when there is no such
// folder or it is 260 units or longer: the program then keeps no files.
std::wstring programDataFolder();
// programDataFolder() + separator + name, or empty when there is no program folder.
std::wstring programDataFile(const wchar_t* name);

}  // namespace tov
