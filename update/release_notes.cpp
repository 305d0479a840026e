#include "update/release_notes.h"

namespace tov {
namespace {

constexpr std::string_view kBullet = "\xE2\x80\xA2  ";  // U+2022 and two spaces

void dropLeading(std::string_view& line, std::string_view chars) {
    const size_t keep = line.find_first_not_of(chars);
    line.remove_prefix(keep == std::string_view::npos ? line.size() : keep);
}

std::string simplifyLine(std::string_view line) {
    dropLeading(line, " \t");
    dropLeading(line, "#");
    std::string out;
    if (line.substr(0, 2) == "- " || line.substr(0, 2) == "* ") {
        out = kBullet;
        line.remove_prefix(2);
    }
    out += line;
    for (size_t at = out.find("**"); at != std::string::npos; at = out.find("**", at)) {
        out.erase(at, 2);
    }
    const size_t first = out.find_first_not_of(' ');
    out.erase(0, first == std::string::npos ? out.size() : first);
    return out;
}

}  // namespace

std::string simplifyReleaseNotes(std::string_view body) {
    std::string out;
    while (true) {
        const size_t end = body.find('\n');
        out += simplifyLine(body.substr(0, end));
        out += '\n';
        if (end == std::string_view::npos) break;
        body.remove_prefix(end + 1);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

}  // namespace tov
