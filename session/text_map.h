// Key/value messages: "key=value" lines joined by "\n", no escaping.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace tov {

using TextMap = std::map<std::string, std::string>;

// Keys in ascending byte order (the map's order), no "\n" after the last line. A pair that could
// not be read back as itself (empty key, key with "=" or "\n", value with "\n") is left out, so
// that one bad value can never forge other keys on the phone.
std::string writeTextMap(const TextMap& map);
bool travelsInTextMap(const std::string& key, const std::string& value);

// Splits at "\n" and each line at its first "="; skips lines without "=" or starting with "=";
// a later line overwrites an earlier one with the same key.
TextMap readTextMap(const char* data, size_t size);
inline TextMap readTextMap(const std::string& text) {
    return readTextMap(text.data(), text.size());
}

}  // namespace tov
