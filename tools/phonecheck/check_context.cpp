#include "tools/phonecheck/check_context.h"

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

}  // namespace tov::phonecheck
