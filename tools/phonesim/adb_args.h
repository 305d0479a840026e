// Reading an adb command line: the global options in front, then the command and its words.
#pragma once

#include <string>
#include <vector>

namespace tov::phonesim {

struct AdbArgs {
    std::string serial;  // from "-s SERIAL" (or ANDROID_SERIAL-free: empty when not given)
    std::string command;
    std::vector<std::string> words;  // after the command
    std::string error;               // a usage error adb would print instead of running
};

AdbArgs parseAdbArgs(const std::vector<std::string>& args);

// The PC-side file a push or install reads, empty when the command reads none.
std::string localFileArgument(const std::vector<std::string>& args);

// Words of `shell` joined with single spaces, as adb hands them to the phone's shell.
std::string shellText(const std::vector<std::string>& words);

}  // namespace tov::phonesim
