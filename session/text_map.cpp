#include "session/text_map.h"

#include <string_view>

namespace tov {

bool travelsInTextMap(const std::string& key, const std::string& value) {
    return !key.empty() && key.find_first_of("=\n") == std::string::npos &&
           value.find('\n') == std::string::npos;
}

std::string writeTextMap(const TextMap& map) {
    std::string out;
    bool first = true;
    for (const auto& [key, value] : map) {
        if (!travelsInTextMap(key, value)) continue;
        if (!first) out += '\n';
        first = false;
        out += key;
        out += '=';
        out += value;
    }
    return out;
}

TextMap readTextMap(const char* data, size_t size) {
    TextMap map;
    std::string_view rest(data, size);
    while (true) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        const size_t eq = line.find('=');
        if (eq != std::string_view::npos && eq > 0) {
            map[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return map;
}

}  // namespace tov
