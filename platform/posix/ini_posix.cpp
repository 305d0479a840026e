// The private-profile rules, reproduced on a plain text file (UTF-8, one entry a line).
#include <cwctype>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace tov::ini {
namespace {

std::wstring trim(const std::wstring& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == L' ' || s[a] == L'\t' || s[a] == L'\r')) ++a;
    while (b > a && (s[b - 1] == L' ' || s[b - 1] == L'\t' || s[b - 1] == L'\r')) --b;
    return s.substr(a, b - a);
}

bool sameName(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return i == a.size() && !b[i];
}

struct Line {
    std::wstring text;
    // Filled for section headers and entries.
    std::optional<std::wstring> section;
    std::optional<std::wstring> key;
    std::wstring value;
};

std::vector<Line> parse(const std::wstring& path) {
    std::vector<Line> lines;
    std::string bytes;
    if (path.empty() || !readFile(path, bytes)) return lines;
    const std::wstring text = widen(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        Line line;
        line.text = text.substr(start, end - start);
        if (!line.text.empty() && line.text.back() == L'\r') line.text.pop_back();
        const std::wstring t = trim(line.text);
        if (!t.empty() && t[0] == L'[') {
            const size_t close = t.find(L']');
            line.section = trim(t.substr(1, close == std::wstring::npos ? std::wstring::npos
                                                                        : close - 1));
        } else if (!t.empty() && t[0] != L';') {
            const size_t eq = t.find(L'=');
            line.key = trim(t.substr(0, eq));
            if (eq != std::wstring::npos) {
                std::wstring v = trim(t.substr(eq + 1));
                // A value wrapped in matching quotes loses them.
                if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') &&
                    v.back() == v.front()) {
                    v = v.substr(1, v.size() - 2);
                }
                line.value = v;
            }
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// Index range [first, last) of the body of the first matching section, or nullopt.
struct SectionSpan {
    size_t header;
    size_t end;
};
std::optional<SectionSpan> findSection(const std::vector<Line>& lines, const wchar_t* section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].section && sameName(*lines[i].section, section)) {
            size_t end = i + 1;
            while (end < lines.size() && !lines[end].section) ++end;
            return SectionSpan{i, end};
        }
    }
    return std::nullopt;
}

std::optional<std::wstring> lookup(const std::wstring& path, const wchar_t* section,
                                   const wchar_t* key) {
    const std::vector<Line> lines = parse(path);
    const auto span = findSection(lines, section);
    if (!span) return std::nullopt;
    for (size_t i = span->header + 1; i < span->end; ++i) {
        if (lines[i].key && sameName(*lines[i].key, key)) return lines[i].value;
    }
    return std::nullopt;
}

bool save(const std::wstring& path, const std::vector<Line>& lines) {
    std::wstring text;
    for (const Line& line : lines) text += line.text + L"\r\n";
    return writeFile(path, narrow(text));
}

// The integer rule of the Windows runtime: optional sign, then a 0x/0o/0b prefix or decimal
// digits, stopping at the first other character; no digits give 0; overflow wraps.
int parseInt(const std::wstring& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == L' ' || s[i] == L'\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    unsigned base = 10;
    if (i + 1 < s.size() && s[i] == L'0') {
        const wchar_t p = std::towlower(s[i + 1]);
        if (p == L'x') base = 16, i += 2;
        else if (p == L'o') base = 8, i += 2;
        else if (p == L'b') base = 2, i += 2;
    }
    uint32_t value = 0;
    for (; i < s.size(); ++i) {
        const wchar_t c = std::towlower(s[i]);
        unsigned digit;
        if (c >= L'0' && c <= L'9') digit = static_cast<unsigned>(c - L'0');
        else if (c >= L'a' && c <= L'f') digit = static_cast<unsigned>(c - L'a' + 10);
        else break;
        if (digit >= base) break;
        value = value * base + digit;
    }
    return static_cast<int>(negative ? 0u - value : value);
}

// Windows serialises every private-profile call of a process; without the same, two threads
// that save parts of one file (the settings, the remembered Wi-Fi phones) lose each other's
// writes or read a file half written.
std::mutex& fileLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

int getInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int def) {
    std::lock_guard guard(fileLock());
    const auto value = lookup(path, section, key);
    if (!value || value->empty()) return def;
    return parseInt(*value);
}

std::wstring getString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                       const wchar_t* def, size_t bufferUnits) {
    if (bufferUnits == 0) return {};
    std::lock_guard guard(fileLock());
    const auto value = lookup(path, section, key);
    std::wstring result = value ? *value : trim(def ? def : L"");
    if (result.size() > bufferUnits - 1) result.resize(bufferUnits - 1);
    return result;
}

bool writeString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                 const wchar_t* value) {
    if (path.empty() || !section) return false;
    std::lock_guard guard(fileLock());
    std::vector<Line> lines = parse(path);
    const auto span = findSection(lines, section);
    if (!key) {
        if (span) lines.erase(lines.begin() + span->header, lines.begin() + span->end);
        return save(path, lines);
    }
    Line entry;
    if (value) {
        entry.text = std::wstring(key) + L"=" + value;
        entry.key = key;
        entry.value = value;
    }
    if (!span) {
        if (!value) return true;
        Line header;
        header.text = L"[" + std::wstring(section) + L"]";
        header.section = section;
        lines.push_back(header);
        lines.push_back(entry);
        return save(path, lines);
    }
    size_t lastEntry = span->header;
    for (size_t i = span->header + 1; i < span->end; ++i) {
        if (!lines[i].key) continue;
        if (sameName(*lines[i].key, key)) {
            if (value) lines[i] = entry;
            else lines.erase(lines.begin() + i);
            return save(path, lines);
        }
        lastEntry = i;
    }
    if (!value) return true;
    lines.insert(lines.begin() + lastEntry + 1, entry);
    return save(path, lines);
}

}  // namespace tov::ini
