#include "tools/phonesim/shell_words.h"

namespace tov::phonesim {
namespace {

bool isAssignment(const std::string& word) {
    const size_t eq = word.find('=');
    if (eq == 0 || eq == std::string::npos) return false;
    for (size_t i = 0; i < eq; ++i) {
        const char c = word[i];
        if (!(c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
              (i > 0 && c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

std::vector<ShellCommand> parse(const std::string& text, bool commandSeparators) {
    std::vector<ShellCommand> commands;
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    auto endWord = [&] {
        if (inWord) words.push_back(word);
        word.clear();
        inWord = false;
    };
    auto endCommand = [&] {
        endWord();
        ShellCommand cmd;
        size_t i = 0;
        while (i < words.size() && isAssignment(words[i])) {
            const size_t eq = words[i].find('=');
            cmd.env[words[i].substr(0, eq)] = words[i].substr(eq + 1);
            ++i;
        }
        cmd.words.assign(words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
        if (!cmd.words.empty() || !cmd.env.empty()) commands.push_back(std::move(cmd));
        words.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && i + 1 < text.size() &&
                       (text[i + 1] == '"' || text[i + 1] == '\\')) {
                word.push_back(text[++i]);
            } else {
                word.push_back(c);
            }
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (commandSeparators && (c == ';' || c == '\n')) {
            endCommand();
        } else if (c == ' ' || c == '\t') {
            endWord();
        } else if (c == '\\' && i + 1 < text.size()) {
            word.push_back(text[++i]);
            inWord = true;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    endCommand();
    return commands;
}

}  // namespace

std::vector<ShellCommand> parseShellText(const std::string& text) {
    return parse(text, true);
}

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    for (ShellCommand& cmd : parse(text, false)) {
        for (auto& [k, v] : cmd.env) words.push_back(k + "=" + v);
        for (std::string& w : cmd.words) words.push_back(std::move(w));
    }
    return words;
}

}  // namespace tov::phonesim
