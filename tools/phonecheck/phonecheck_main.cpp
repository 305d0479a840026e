// tovenmar-phonecheck: checks a phone's side against the phone app's contract over adb.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tools/phonecheck/phone_check.h"

namespace {

int checkWith(const std::vector<std::string>& args) {
    tov::phonecheck::CheckOptions options;
    std::string error;
    if (!tov::phonecheck::parseArguments(args, options, error)) {
        std::fputs(error.c_str(), stderr);
        return 2;
    }
    return tov::phonecheck::runPhoneCheck(options, stdout);
}

}  // namespace

#ifdef _WIN32
// The wide arguments keep paths and serials whole whatever the code page.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(tov::narrow(argv[i]));
    return checkWith(args);
}
#else
int main(int argc, char** argv) {
    return checkWith(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
