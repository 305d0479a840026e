// Small text helpers the App's handler files share: reading a field of a phone report, the "1"/"0"
// flag form the phone takes, and the decimal rule the phone's numbers are read with.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tov {

using Report = std::map<std::string, std::string>;

inline const char* flagText(bool on) {
    return on ? "1" : "0";
}

// The field's text, or null when the report does not carry it.
inline const std::string* findField(const Report& report, const char* key) {
    auto it = report.find(key);
    return it == report.end() ? nullptr : &it->second;
}

// The standard stoi rule: leading whitespace, an optional sign, digits; trailing text ignored.
// False (and `out` untouched) when no digit is there or the number does not fit.
inline bool parseDecimal(const std::string& text, int32_t& out) {
    try {
        size_t used = 0;
        out = std::stoi(text, &used);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace tov
