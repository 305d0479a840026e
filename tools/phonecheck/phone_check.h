// The whole check of one phone against the phone app's contract, step by step.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/phonecheck/check_context.h"

namespace tov::phonecheck {

// Runs every step, prints as it goes (or JSON at the end) and returns the exit code: 0 when no
// step failed.
int runPhoneCheck(const CheckOptions& options, std::FILE* out);

// The command line (without the program name) read into options; false with the reason (or
// the usage text) in `error`.
bool parseArguments(const std::vector<std::string>& args, CheckOptions& options,
                    std::string& error);

extern const char* const kUsage;

}  // namespace tov::phonecheck
