// One stream, Phone app or No app, checked the way Tovenmar uses it: the options, the hello
// within its time limit, a configuration a decoder opens, pictures and sound, pongs, the state
// report, a key frame request, a bitrate and a size change mid-stream, and the stop.
#pragma once

#include "tools/phonecheck/check_context.h"
#include "tools/phonecheck/check_report.h"

namespace tov::phonecheck {

// `helperRunning`: No app mode is served while the input helper runs; without it the No app
// stream is not tried.
void checkStream(const CheckContext& context, bool noApp, bool helperRunning, CheckReport& report);

}  // namespace tov::phonecheck
