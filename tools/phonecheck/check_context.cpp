#include "tools/phonecheck/check_context.h"

#include <cstdio>

#include "phone/output_text.h"

namespace tov::phonecheck {

std::string oneLine(const std::string& text) {
    std::string out;
    for (const char c : std::string(trimTrailing(text))) {
        if (c == '\r') continue;
        if (c == '\n') {
            out += " / ";
        } else {
            out += c;
        }
    }
    return out.size() > 200 ? out.substr(0, 200) + "..." : out;
}

std::string roundTripText(int64_t micros) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f ms", static_cast<double>(micros) / 1000.0);
    return text;
}

}  // namespace tov::phonecheck
