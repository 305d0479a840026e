// A local port forwarded through adb to a service on one phone. Local port 0 lets adb choose a
// free port, which it prints: a port another program holds never stands in the way, and several
// phones never share one. The forward is kept for its phone's connection and removed when done,
// so that none is left behind in the adb server.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tov {

// "forward tcp:PORT REMOTE"; port 0 asks adb to choose one and print it.
std::wstring adbForwardArgs(uint16_t localPort, const std::string& remote);
// "forward --remove tcp:PORT".
std::wstring adbForwardRemoveArgs(uint16_t localPort);
// The port adb printed for "forward tcp:0": a line that holds a number from 1 to 65535 and
// nothing else but blanks and "\r" (adb's notes, such as a daemon it started, stand on lines of
// their own). 0 when no line is one.
uint16_t adbPrintedPort(std::string_view output);

class AdbForward {
  public:
    // Runs adb with `args` within the owner's limit; true when it succeeded, with what adb
    // printed in `output`.
    using Run = std::function<bool(const std::wstring& args, std::string* output)>;

    // `who` starts the log lines ("session", "input").
    explicit AdbForward(std::string who) : who_(std::move(who)) {}

    // Forwards `localPort` (0: one adb chooses) to `remote` on the phone `prefix` ("-s SERIAL ")
    // aims at and returns the local port to connect to; 0 when that failed (said in the log once
    // until a forward works again). The forward kept from before is renewed when it leads to the
    // same place, else removed first.
    uint16_t open(const Run& run, const std::wstring& prefix, uint16_t localPort,
                  const std::string& remote);
    // Removes the kept forward, if any.
    void remove(const Run& run);
    uint16_t port() const { return port_; }

  private:
    uint16_t forwardAfresh(const Run& run, const std::wstring& prefix, uint16_t localPort,
                           const std::string& remote);
    void failed(const std::string& remote, const std::string& why);

    std::string who_;
    uint16_t port_ = 0;  // the kept forward's local port; 0: none
    std::wstring prefix_;
    std::string remote_;
    bool failing_ = false;
};

}  // namespace tov
