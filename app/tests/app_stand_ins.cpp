#include "app/tests/app_stand_ins.h"

#include <memory>

#include "platform/socket.h"

namespace tov::test {

AppParts standInParts(VideoCounts& video, CountingVideoPort*& videoPort, const TempDir& folder,
                      const std::string& package, const std::atomic<bool>* adbPresent) {
    AppParts p;
    p.makeVideo = [&video, &videoPort](VideoEvents events) {
        auto port = std::make_unique<CountingVideoPort>(video, std::move(events));
        videoPort = port.get();
        return port;
    };
    p.makePanel = [] { return std::make_unique<NullPanelPort>(); };
    const std::wstring adb = siblingProgram(L"adb");
    p.phoneMonitor.findAdb = [adbPresent, adb] {
        return !adbPresent || *adbPresent ? adb : std::wstring();
    };
    p.installer.loadPackage = [&package] { return package; };
    p.installer.copyFolder = folder.path();
    p.updater.firstCheck = std::chrono::hours(1);
    p.settingsPath = [&folder] { return folder.file(L"settings.ini"); };
    p.shortcutsPath = [&folder] { return folder.file(L"shortcuts.ini"); };
    ownPorts(p.session, p.inputLink);
    return p;
}

void ownPorts(SessionConfig& session, InputLinkTimings& inputLink) {
    std::unique_ptr<TcpListener> held[3];
    for (auto& h : held) h = TcpListener::listenLoopback(0);
    if (held[0] && held[1] && held[2]) {
        session.appPort = held[0]->port();
        session.noAppPort = held[1]->port();
        inputLink.port = held[2]->port();
    }
}

PanelModel modelWhen(App& app, const std::function<bool(const PanelModel&)>& done,
                     std::chrono::milliseconds limit) {
    PanelModel model;
    waitFor(
        [&] {
            model = app.buildModel();
            return done(model);
        },
        limit);
    return model;
}

}  // namespace tov::test
