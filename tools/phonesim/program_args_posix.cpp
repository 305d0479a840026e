#include "tools/phonesim/program_args.h"

namespace tov::phonesim {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void useBinaryOutput() {}

}  // namespace tov::phonesim
