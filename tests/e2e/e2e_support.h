// Running the real Tovenmar.exe under Wine from a native test: one Wine prefix per test program,
// a fresh program folder per test, the display from $DISPLAY (the test script starts Xvfb),
// screenshots and synthetic input through the X server.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/process.h"

namespace tov::e2e {

// Unix path of a Windows program of the Windows build ("Tovenmar.exe", "adb.exe").
std::string windowsProgram(const std::string& name);

class WineSession {
  public:
    // Makes (once per test program) a Wine prefix and empties the program's data folder.
    WineSession();
    ~WineSession();
    WineSession(const WineSession&) = delete;
    WineSession& operator=(const WineSession&) = delete;

    // Unix path of %LOCALAPPDATA%\Tovenmar inside the prefix.
    std::string dataFolder() const;
    std::string readDataFile(const std::string& name) const;
    // Unix path of C:\ inside the prefix.
    std::string driveC() const;
    // The Windows path of a Unix path: C:\... inside the prefix's drive C, else Z:\...
    std::string windowsPath(const std::string& unixPath) const;
    // Starts a Windows program under Wine with this session's prefix; what it prints goes to the
    // artefact file of that name.
    std::unique_ptr<ChildProcess> start(const std::string& program, const std::string& args = {},
                                        const std::string& outputName = "wine-output.txt");
    // Runs a Windows program to its end (at most timeoutMs); its exit code, -1 when it did not end.
    int run(const std::string& program, const std::string& args, std::string* output,
            uint32_t timeoutMs);
    // Ends every Wine process of the prefix.
    void killAll();

  private:
    std::string prefix_;
};

// Polls `done` every 50 ms until it holds or the time is up; true when it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// X11 helpers (xdotool, ImageMagick). Window ids are decimal texts; empty when none.
std::string findWindow(const std::string& title);
bool screenshot(const std::string& windowId, const std::string& pngPath);
// The window's size; false when it cannot be read.
bool windowSize(const std::string& windowId, int& width, int& height);
// Presses and releases a key (an xdotool key name) in the window, which must have the focus.
void typeKey(const std::string& windowId, const std::string& key);
// Brings the window to the top of the others.
void raise(const std::string& windowId);
// Asks the window to close, as Alt+F4 does.
void closeWindow(const std::string& windowId);
// A left click at (x, y) inside the window.
void click(const std::string& windowId, int x, int y);
// The first row in column x, from y0 to y1, whose pixel has the colour "#RRGGBB"; -1 when none.
int findColourInColumn(const std::string& pngPath, int x, int y0, int y1, const std::string& rgb);
// The standard deviation of the picture's brightness, 0 to 1: near 0 for a flat (black) picture.
double brightnessSpread(const std::string& pngPath);
// Where tests put their screenshots and other artefacts.
std::string artefactPath(const std::string& name);

}  // namespace tov::e2e
