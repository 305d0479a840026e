// The program's one log file: %LOCALAPPDATA%\Tovenmar\tovenmar.log, new for every run.
#pragma once

#if defined(__MINGW32__)
#define TOV_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define TOV_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TOV_PRINTF_FORMAT(fmt, args)
#endif

#include <string>

namespace tov {

// Opens (replacing) the log. Without LOCALAPPDATA, or when the file cannot be made, the run
// keeps no log and every logLine does nothing.
void openLog();
// One line: "HH:MM:SS.mmm  " + the formatted message + line feed, flushed. Safe from any thread.
void logLine(const char* format, ...) TOV_PRINTF_FORMAT(1, 2);
// A log line's tag: `what` ("video", "adapt"...), followed by the stream's name when it has one
// (a phone streamed beside the chosen one), so that the streams' lines stay apart.
std::string logTag(const char* what, const std::string& stream);

}  // namespace tov
