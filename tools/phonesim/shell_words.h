// The phone shell's reading of a command text: commands separated by ";", words split at blanks
// with single and double quotes, leading NAME=value assignments.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tov::phonesim {

struct ShellCommand {
    std::map<std::string, std::string> env;
    std::vector<std::string> words;
};

std::vector<ShellCommand> parseShellText(const std::string& text);

// The words of one line with the same quoting, where ";" is an ordinary character.
std::vector<std::string> splitWords(const std::string& text);

}  // namespace tov::phonesim
