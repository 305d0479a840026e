// The Windows entry point: process start-up in its fixed order.
#include <windows.h>
#include <objbase.h>

#include "app/log.h"
#include "platform/socket.h"
#include "platform/win/win_compat.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    tov::openLog();
    tov::logLine("Tovenmar starting");
    tov::initSockets();

    tov::cleanupSockets();
    CoUninitialize();
    return 0;
}
