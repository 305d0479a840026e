// A hand-edited private-profile file of arbitrary bytes, read and written with the Windows rules:
// a read never returns more than its buffer holds, a written value reads back as written, and a
// write changes no other entry.
#include <cstddef>
#include <cstdint>
#include <cwctype>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace {

const std::wstring& scratchFile() {
    static const std::wstring path = tov::fuzz::scratchFile("ini-fuzz");
    return path;
}

// Names the file may or may not hold, in several spellings of case.
const wchar_t* const kSections[] = {L"Settings", L"settings", L"Phone", L"[x"};
const wchar_t* const kKeys[] = {L"bitrate", L"BitRate", L"k", L"last phone"};
constexpr size_t kNames = 4;

std::vector<std::wstring> readAll() {
    std::vector<std::wstring> all;
    for (const wchar_t* section : kSections) {
        for (const wchar_t* key : kKeys) {
            all.push_back(tov::ini::getString(scratchFile(), section, key, L"-", 4096));
        }
    }
    return all;
}

bool sameName(const wchar_t* a, const wchar_t* b) {
    for (; *a && *b; ++a, ++b) {
        if (std::towlower(*a) != std::towlower(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t section = data[0] % kNames;
    const size_t key = data[1] % kNames;
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    tov::writeFile(scratchFile(), bytes);

    for (size_t units : {size_t{1}, size_t{2}, size_t{16}}) {
        const std::wstring s = tov::ini::getString(scratchFile(), kSections[section], kKeys[key],
                                                   L"default value", units);
        REQUIRE(s.size() <= units - 1);
    }
    const std::vector<std::wstring> before = readAll();
    const int number = tov::ini::getInt(scratchFile(), kSections[section], kKeys[key], -7);
    // A number is read from the value's start; an empty or missing value gives the default.
    REQUIRE(before[section * kNames + key].empty() || before[section * kNames + key] == L"-" ||
            number == tov::ini::getInt(scratchFile(), kSections[section], kKeys[key], 1234));

    // A plain value (no line break, no outer blanks or quotes) reads back as itself.
    std::wstring value;
    for (size_t i = 2; i < size && value.size() < 40; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c >= 'a' && c <= 'z') value += static_cast<wchar_t>(c);
    }
    REQUIRE(tov::ini::writeString(scratchFile(), kSections[section], kKeys[key], value.c_str()));
    const std::vector<std::wstring> after = readAll();
    size_t i = 0;
    for (const wchar_t* s : kSections) {
        for (const wchar_t* k : kKeys) {
            const bool written = sameName(s, kSections[section]) && sameName(k, kKeys[key]);
            if (written) {
                REQUIRE(after[i] == value);
            } else {
                REQUIRE(after[i] == before[i]);
            }
            ++i;
        }
    }

    // A null value deletes the first such key; deleting once per line the file has brings the
    // default back (checked on short files, where that stays cheap).
    size_t lines = 2;
    for (char c : bytes) lines += c == '\n';
    if (lines <= 16) {
        std::wstring left;
        for (size_t n = 0; n < lines; ++n) {
            REQUIRE(tov::ini::writeString(scratchFile(), kSections[section], kKeys[key], nullptr));
            left = tov::ini::getString(scratchFile(), kSections[section], kKeys[key], L"gone", 64);
            if (left == L"gone") break;
        }
        REQUIRE(left == L"gone");
    }
    return 0;
}
