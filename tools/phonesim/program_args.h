// The program's own arguments as UTF-8, and raw binary standard output, on both systems.
#pragma once

#include <string>
#include <vector>

namespace tov::phonesim {

// Without the program name.
std::vector<std::string> programArguments(int argc, char** argv);
// Phone output passes through byte for byte (no "\n" to "\r\n" on Windows).
void useBinaryOutput();

}  // namespace tov::phonesim
