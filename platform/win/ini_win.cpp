#include <windows.h>

#include <mutex>
#include <vector>

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace tov::ini {
namespace {

// The private-profile functions keep a file in the encoding they find, and write a new file in
// the ANSI code page, where every character outside it becomes "?". A file that starts with the
// UTF-16 byte-order mark is kept in UTF-16, so the file is given that form before a write: a new
// one empty with the mark, an older one in the code page converted.
void makeUnicode(const std::wstring& path) {
    std::string bytes;
    const bool exists = readFile(path, bytes);
    if (exists && bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return;
    }
    std::wstring text;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = widen(std::string_view(bytes).substr(3));
    } else if (!bytes.empty() && bytes.size() < 0x7FFFFFFF) {
        const int size = static_cast<int>(bytes.size());
        const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
        text.resize(static_cast<size_t>(units > 0 ? units : 0));
        if (units > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), units);
    }
    std::string unicode = "\xFF\xFE";
    for (const wchar_t unit : text) {
        unicode += static_cast<char>(unit & 0xFF);
        unicode += static_cast<char>((unit >> 8) & 0xFF);
    }
    writeFile(path, unicode);
}

// A conversion and the write after it must not interleave with another thread's.
std::mutex& writeLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

int getInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int def) {
    if (path.empty()) return def;
    return static_cast<int>(GetPrivateProfileIntW(section, key, def, path.c_str()));
}

std::wstring getString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                       const wchar_t* def, size_t bufferUnits) {
    if (bufferUnits == 0) return {};
    if (path.empty()) {
        std::wstring d = def ? def : L"";
        if (d.size() > bufferUnits - 1) d.resize(bufferUnits - 1);
        return d;
    }
    std::vector<wchar_t> buffer(bufferUnits, L'\0');
    const DWORD n = GetPrivateProfileStringW(section, key, def ? def : L"", buffer.data(),
                                             static_cast<DWORD>(bufferUnits), path.c_str());
    return std::wstring(buffer.data(), n);
}

bool writeString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                 const wchar_t* value) {
    if (path.empty()) return false;
    std::lock_guard guard(writeLock());
    makeUnicode(path);
    return WritePrivateProfileStringW(section, key, value, path.c_str()) != 0;
}

}  // namespace tov::ini
