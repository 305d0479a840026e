#include "tests/e2e/e2e_support.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace tov::e2e {
namespace {

std::string shell(const std::string& command) {
    std::string out;
    runCommand(L"/bin/sh -c \"" + widen(command) + L"\"", &out, 60000);
    return out;
}

std::string wineBinary() {
    return isFile(L"/usr/lib/wine/wine64") ? "/usr/lib/wine/wine64" : "wine";
}
std::string wineServer() {
    return isFile(L"/usr/lib/wine/wineserver") ? "/usr/lib/wine/wineserver" : "wineserver";
}

std::string userName() {
    const char* u = std::getenv("USER");
    if (u && *u) return u;
    const std::string who = shell("id -un");
    return who.empty() ? "root" : who.substr(0, who.find('\n'));
}

}  // namespace

std::string windowsProgram(const std::string& name) {
    return std::string(TOV_WIN_BIN_DIR) + "/" + name;
}

std::string artefactPath(const std::string& name) {
    const std::string dir = std::string(TOV_E2E_WORK_DIR) + "/artefacts";
    createDirectory(widen(dir));
    return dir + "/" + name;
}

WineSession::WineSession() : prefix_(std::string(TOV_E2E_WORK_DIR) + "/wineprefix") {
    setEnv(L"WINEPREFIX", widen(prefix_).c_str());
    setEnv(L"WINEDEBUG", L"-all");
    setEnv(L"WINEDLLOVERRIDES", L"mscoree,mshtml=");
    setEnv(L"WINEARCH", L"win64");
    shell(std::string(TOV_SOURCE_DIR) + "/scripts/wine-prefix.sh");
    killAll();
    removeTree(widen(dataFolder()));
}

WineSession::~WineSession() {
    killAll();
}

std::string WineSession::dataFolder() const {
    return prefix_ + "/drive_c/users/" + userName() + "/AppData/Local/Tovenmar";
}

std::string WineSession::readDataFile(const std::string& name) const {
    return test::readTextFile(widen(dataFolder() + "/" + name));
}

std::string WineSession::driveC() const {
    return prefix_ + "/drive_c";
}

std::string WineSession::windowsPath(const std::string& unixPath) const {
    const std::string c = driveC() + "/";
    std::string path =
        unixPath.rfind(c, 0) == 0 ? "C:\\" + unixPath.substr(c.size()) : "Z:" + unixPath;
    for (char& ch : path) {
        if (ch == '/') ch = '\\';
    }
    return path;
}

std::unique_ptr<ChildProcess> WineSession::start(const std::string& program,
                                                 const std::string& args,
                                                 const std::string& outputName) {
    std::wstring line = L"\"" + widen(wineBinary()) + L"\" \"" + widen(program) + L"\"";
    if (!args.empty()) line += L" " + widen(args);
    return ChildProcess::start(line, widen(artefactPath(outputName)));
}

int WineSession::run(const std::string& program, const std::string& args, std::string* output,
                     uint32_t timeoutMs) {
    std::wstring line = L"\"" + widen(wineBinary()) + L"\" \"" + widen(program) + L"\"";
    if (!args.empty()) line += L" " + widen(args);
    const RunResult result = runCommand(line, output, timeoutMs);
    return result.started && result.exited ? static_cast<int>(result.exitCode) : -1;
}

void WineSession::killAll() {
    // -w: until the server and every program it ran are gone. A dead program's windows may
    // still show a moment longer on a busy X server, where a test would take them for the next
    // program's.
    shell(wineServer() + " -k >/dev/null 2>&1; " + wineServer() + " -w >/dev/null 2>&1; true");
    waitUntil([] { return findWindow("Tovenmar.*").empty(); }, std::chrono::seconds(10));
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const uint64_t end = tickMs() + static_cast<uint64_t>(limit.count());
    while (true) {
        if (done()) return true;
        if (tickMs() >= end) return false;
        sleepMs(50);
    }
}

std::string findWindow(const std::string& title) {
    std::string out = shell("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null");
    const size_t end = out.find('\n');
    return end == std::string::npos ? out : out.substr(0, end);
}

bool screenshot(const std::string& windowId, const std::string& pngPath) {
    shell("import -window " + (windowId.empty() ? std::string("root") : windowId) + " '" + pngPath +
          "' 2>/dev/null");
    return fileSize(widen(pngPath)) > 0;
}

bool windowSize(const std::string& windowId, int& width, int& height) {
    // "  Geometry: 1280x600" among xdotool's lines.
    const std::string text = shell("xdotool getwindowgeometry " + windowId + " 2>/dev/null");
    const size_t at = text.find("Geometry: ");
    if (at == std::string::npos) return false;
    return std::sscanf(text.c_str() + at + 10, "%dx%d", &width, &height) == 2;
}

void typeKey(const std::string& windowId, const std::string& key) {
    // The pause lets the program take in the focus change before the key: a busy Wine can
    // otherwise see the key while its window is still inactive.
    shell("xdotool windowraise " + windowId + " windowfocus --sync " + windowId +
          " sleep 0.3 key " + key + " 2>/dev/null");
}

void raise(const std::string& windowId) {
    shell("xdotool windowraise " + windowId + " sleep 0.3 2>/dev/null");
}

void closeWindow(const std::string& windowId) {
    typeKey(windowId, "alt+F4");
}

void click(const std::string& windowId, int x, int y) {
    // Raised first: the video window may lie over the panel, and a click goes to what is on top.
    shell("xdotool windowraise " + windowId + " sleep 0.3 mousemove --window " + windowId + " " +
          std::to_string(x) + " " + std::to_string(y) + " click 1 2>/dev/null");
}

int findColourInColumn(const std::string& pngPath, int x, int y0, int y1, const std::string& rgb) {
    // ImageMagick's text form: "X,Y: (r,g,b)  #RRGGBB  srgb(...)", one line a pixel.
    const std::string text =
        shell("convert '" + pngPath + "' -crop 1x" + std::to_string(y1 - y0) + "+" +
              std::to_string(x) + "+" + std::to_string(y0) + " +repage txt:- 2>/dev/null");
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line[0] == '#') continue;
        if (line.find(rgb) == std::string::npos) continue;
        const size_t comma = line.find(',');
        const size_t colon = line.find(':');
        if (comma == std::string::npos || colon == std::string::npos) continue;
        return y0 + std::atoi(line.substr(comma + 1, colon - comma - 1).c_str());
    }
    return -1;
}

double brightnessSpread(const std::string& pngPath) {
    const std::string text =
        shell("convert '" + pngPath +
              "' -colorspace Gray -format '%[fx:standard_deviation]' info: 2>/dev/null");
    return text.empty() ? 0.0 : std::atof(text.c_str());
}

}  // namespace tov::e2e
