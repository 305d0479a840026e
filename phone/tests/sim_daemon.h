// A phone simulator daemon for one test, with the adb stand-in pointed at it. Natively the
// simulator's own starter runs it; a Windows test under Wine starts the native daemon itself
// (Wine runs Unix programs) and drives it over its control port.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/phonesim/control_client.h"

namespace tov::test {

class SimDaemon {
  public:
    ~SimDaemon();
    // Starts the daemon with the scenario's control commands; false with a reason.
    bool start(const std::string& scenario, std::string* error);
    void stop();
    // A control command's output; empty when it failed.
    std::string ask(const std::string& line) const;
    bool ok(const std::string& line) const;
    // Every adb command line the daemon has seen, oldest first.
    std::vector<std::string> commands() const;

  private:
#ifdef _WIN32
    std::unique_ptr<ChildProcess> daemon_;
    uint16_t port_ = 0;
#else
    phonesim::PhoneSimulator sim_;
#endif
};

// The adb stand-in built beside the test.
std::wstring simAdb();

}  // namespace tov::test
