#include "phone/download_folder.h"

#include <unordered_set>

#include "core/case_folding.h"
#include "phone/output_text.h"

namespace tov {

std::vector<std::string> folderNames(std::string_view lsOutput) {
    std::vector<std::string> names;
    for (std::string_view line : splitLines(lsOutput)) {
        if (line.empty() || line == "." || line == "..") continue;
        names.emplace_back(line);
    }
    return names;
}

std::string freeName(const std::string& name, const std::vector<std::string>& taken) {
    std::unordered_set<std::string> folded;
    for (const std::string& t : taken) folded.insert(caseFolded(t));
    if (!folded.count(caseFolded(name))) return name;
    // A leading dot starts a name (".nomedia"), not an extension.
    const size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    // Among taken.size() + 1 numbers one is always free.
    for (size_t n = 2;; ++n) {
        const std::string candidate = stem + " (" + std::to_string(n) + ")" + extension;
        if (!folded.count(caseFolded(candidate))) return candidate;
    }
}

std::string shellQuoted(std::string_view text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace tov
