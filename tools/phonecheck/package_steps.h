// The first steps: the phone is attached, the package is installed (and at which digest), the
// helper file is there, and the info probe prints its block.
#pragma once

#include "tools/phonecheck/check_context.h"
#include "tools/phonecheck/check_report.h"

namespace tov::phonecheck {

// False when the phone is not there, so that nothing else can be checked.
bool checkPhoneAttached(const CheckContext& context, CheckReport& report);
void checkPackage(CheckContext& context, CheckReport& report);
// Fills context.info when the block parses.
void checkInfoProbe(CheckContext& context, CheckReport& report);

}  // namespace tov::phonecheck
