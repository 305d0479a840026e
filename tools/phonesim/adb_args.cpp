#include "tools/phonesim/adb_args.h"

namespace tov::phonesim {

AdbArgs parseAdbArgs(const std::vector<std::string>& args) {
    AdbArgs out;
    size_t i = 0;
    while (i < args.size() && !args[i].empty() && args[i][0] == '-') {
        const std::string& option = args[i];
        if (option == "-s" || option == "-t" || option == "-H" || option == "-P" ||
            option == "-L") {
            if (i + 1 >= args.size()) {
                out.error = "adb: " + option + " requires an argument";
                return out;
            }
            if (option == "-s") out.serial = args[i + 1];
            i += 2;
        } else if (option == "-d" || option == "-e" || option == "-a") {
            ++i;
        } else {
            break;  // a command's own option, like "--version"
        }
    }
    if (i >= args.size()) {
        out.error = "adb: no command given";
        return out;
    }
    out.command = args[i];
    out.words.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    return out;
}

std::string localFileArgument(const std::vector<std::string>& args) {
    const AdbArgs parsed = parseAdbArgs(args);
    if (!parsed.error.empty()) return {};
    std::vector<std::string> plain;
    for (const std::string& w : parsed.words) {
        if (!w.empty() && w[0] == '-') continue;
        plain.push_back(w);
    }
    if (parsed.command == "push" && plain.size() >= 2) return plain.front();
    if (parsed.command == "install" && !plain.empty()) return plain.back();
    return {};
}

std::string shellText(const std::vector<std::string>& words) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text.push_back(' ');
        text += words[i];
    }
    return text;
}

}  // namespace tov::phonesim
