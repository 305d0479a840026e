#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/text.h"

namespace tov {

bool isFile(const std::wstring& path) {
    struct stat st {};
    return stat(narrow(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::wstring& path) {
    struct stat st {};
    return stat(narrow(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createDirectory(const std::wstring& path) {
    const std::string p = narrow(path);
    if (mkdir(p.c_str(), 0755) == 0) return true;
    return isDirectory(path);
}

bool readFile(const std::wstring& path, std::string& out) {
    std::ifstream in(narrow(path), std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const std::wstring& path, std::string_view data) {
    std::ofstream out(narrow(path), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out.flush());
}

bool deleteFile(const std::wstring& path) { return unlink(narrow(path).c_str()) == 0; }

bool moveFile(const std::wstring& from, const std::wstring& to, bool replace) {
    const std::string f = narrow(from), t = narrow(to);
    if (!replace && access(t.c_str(), F_OK) == 0) return false;
    return std::rename(f.c_str(), t.c_str()) == 0;
}

int64_t fileSize(const std::wstring& path) {
    struct stat st {};
    if (stat(narrow(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

FILE* openSharedFile(const std::wstring& path, const wchar_t* mode) {
    std::string m;
    for (const wchar_t* c = mode; *c; ++c) {
        if (*c != L't') m += static_cast<char>(*c);  // POSIX has no text mode
    }
    return std::fopen(narrow(path).c_str(), m.c_str());
}

bool seekFile(FILE* file, int64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool flushToDisk(FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

}  // namespace tov

#include <ftw.h>

namespace tov {
namespace {
int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }
}  // namespace

bool removeTree(const std::wstring& path) {
    const std::string p = narrow(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return true;
    return nftw(p.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace tov

#include <dirent.h>

namespace tov {

std::vector<std::wstring> listFiles(const std::wstring& folder) {
    std::vector<std::wstring> names;
    const std::string dir = narrow(folder);
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (const dirent* entry = readdir(d)) {
        struct stat st {};
        const std::string path = dir + "/" + entry->d_name;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            names.push_back(widen(entry->d_name));
        }
    }
    closedir(d);
    return names;
}

}  // namespace tov
