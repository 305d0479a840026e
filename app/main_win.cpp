// The Windows entry point: process start-up and shut-down in their fixed order.
#include <objbase.h>
#include <windows.h>

#include <string>

#include "app/app.h"
#include "app/app_parts_win.h"
#include "core/log.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "platform/win/win_compat.h"
#include "update/updater.h"
#include "update/version.h"

namespace {

// The App lives until the process ends; its members go in reverse order of construction.
tov::App& theApp(HINSTANCE instance) {
    static tov::App app(tov::makeAppPartsWin(instance));
    return app;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    tov::openLog();
    tov::logLine("Tovenmar starting");
    tov::logLine("update: this is version %s", tov::kCurrentVersion);
    tov::initSockets();

    {
        // Start-up work of the updater, before anything else runs: the new build, when one was
        // installed, is already running.
        tov::Updater startUpdater;
        startUpdater.removeOldBuild();
        if (startUpdater.installReadyAtStart()) return 0;
    }

    tov::setShowCommand(showCommand);
    tov::App& app = theApp(instance);
    std::string errorText;
    if (!app.init(errorText)) {
        MessageBoxW(nullptr, tov::widen(errorText).c_str(), L"Tovenmar", MB_OK | MB_ICONERROR);
        app.shutdown();
        return 1;
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    app.shutdown();
    if (app.installOnExit()) {
        std::string message;
        if (!app.updater().installReadyAtExit(message)) {
            const std::wstring text = tov::widen("The update couldn't be installed. " + message);
            MessageBoxW(nullptr, text.c_str(), L"Tovenmar", MB_OK | MB_ICONWARNING);
            app.updater().startAgain();
        }
    }
    tov::cleanupSockets();
    CoUninitialize();
    return 0;
}
