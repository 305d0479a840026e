// The phone's shell as adb reaches it: the handful of commands the PC program runs, answered from
// the simulated phone, and the helper processes started with app_process.
#pragma once

#include <string>

#include "tools/phonesim/shell_words.h"

namespace tov::phonesim {

class Simulator;
class CommandChannel;

class PhoneShell {
  public:
    PhoneShell(Simulator& sim, std::string phoneId, std::string serial, CommandChannel& out)
        : sim_(sim), phoneId_(std::move(phoneId)), serial_(std::move(serial)), out_(out) {}
    // Runs every command of the text; the exit code is the last command's.
    int run(const std::string& text);

  private:
    int command(const ShellCommand& cmd, bool last);
    int pm(const std::vector<std::string>& w);
    int am(const std::vector<std::string>& w);
    int wm(const std::vector<std::string>& w);
    int sha256sum(const std::vector<std::string>& w);
    int appProcess(const ShellCommand& cmd, bool last);
    int pkill(const std::vector<std::string>& w);
    // The input helper: runs until it is killed, its link goes or adb hangs up.
    int runHelper();

    Simulator& sim_;
    std::string phoneId_;
    std::string serial_;
    CommandChannel& out_;
};

// Where "pm path" says the installed app lives.
inline constexpr const char* kInstalledApkPath =
    "/data/app/~~c2ltdWxhdGVk==/com.tovenmar.app-cGhvbmVzaW0==/base.apk";

}  // namespace tov::phonesim
