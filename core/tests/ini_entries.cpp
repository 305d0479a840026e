#include "ini_entries.h"

#include <cctype>

#include "platform/files.h"
#include "tests/support/test_support.h"

namespace tov::test {
namespace {

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::vector<std::string> iniEntries(const std::wstring& path) {
    std::vector<std::string> entries;
    const std::string bytes = readTextFile(path);
    std::string section;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = trim(bytes.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = lower(trim(line.substr(1, line.find(']') - 1)));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        entries.push_back(section + "/" + lower(trim(line.substr(0, eq))) + "=" +
                          trim(line.substr(eq + 1)));
    }
    return entries;
}

void writeIniText(const std::wstring& path, const std::string& text) {
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    writeFile(path, crlf);
}

}  // namespace tov::test
