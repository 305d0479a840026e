#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/process.h"
#include "platform/text.h"
#include "tools/phonesim/program_args.h"

namespace tov::phonesim {

// The ANSI argv would lose characters outside the code page; the wide command line keeps them.
std::vector<std::string> programArguments(int, char**) {
    std::vector<std::string> args;
    const std::vector<std::wstring> wide = splitCommandLine(GetCommandLineW());
    for (size_t i = 1; i < wide.size(); ++i) args.push_back(narrow(wide[i]));
    return args;
}

void useBinaryOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace tov::phonesim
