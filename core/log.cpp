#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tov {
namespace {

std::mutex logMutex;
FILE* logFile = nullptr;

}  // namespace

void openLog() {
    std::lock_guard lock(logMutex);
    // A log opened before belongs to another run: without a file of its own, this one has none.
    if (logFile) std::fclose(logFile);
    logFile = nullptr;
    const std::wstring path = programDataFile(L"tovenmar.log");
    if (path.empty()) return;
    // Text mode: line ends become CR LF on Windows. Shared, so viewers can keep it open.
    logFile = openSharedFile(path, L"wt");
}

void logLine(const char* format, ...) {
    std::lock_guard lock(logMutex);
    if (!logFile) return;
    const LocalTime t = localTime();
    std::fprintf(logFile, "%02d:%02d:%02d.%03d  ", t.hour, t.minute, t.second, t.millisecond);
    va_list args;
    va_start(args, format);
    std::vfprintf(logFile, format, args);
    va_end(args);
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

std::string logTag(const char* what, const std::string& stream) {
    return stream.empty() ? std::string(what) : what + (" " + stream);
}

}  // namespace tov
