#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/text.h"

namespace tov {

std::wstring getEnv(const wchar_t* name, bool* present) {
    const char* value = std::getenv(narrow(name).c_str());
    if (present) *present = value != nullptr;
    return value ? widen(value) : std::wstring();
}

bool setEnv(const wchar_t* name, const wchar_t* value) {
    const std::string n = narrow(name);
    if (!value) return unsetenv(n.c_str()) == 0;
    return setenv(n.c_str(), narrow(value).c_str(), 1) == 0;
}

std::wstring exePath() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return widen(std::string_view(buffer, static_cast<size_t>(n)));
}

std::wstring exeFolder() {
    std::wstring path = exePath();
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::wstring tempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::wstring folder = widen(tmp && *tmp ? tmp : "/tmp");
    if (folder.back() != L'/') folder += L'/';
    return folder;
}

std::wstring knownLocalAppDataFolder() {
    return {};
}

std::wstring searchPath(const wchar_t* fileName) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    const std::string name = narrow(fileName);
    std::string_view rest(path);
    while (true) {
        const size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        // An empty entry means the current folder.
        const std::string candidate =
            (dir.empty() ? std::string(".") : std::string(dir)) + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return widen(candidate);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

}  // namespace tov
