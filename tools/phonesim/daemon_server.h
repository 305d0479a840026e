// The daemon's front door: listens for adb stand-ins and control clients on 127.0.0.1 and runs
// each command on its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/socket.h"
#include "tools/phonesim/simulator.h"

namespace tov::phonesim {

class DaemonServer {
  public:
    explicit DaemonServer(Simulator& sim) : sim_(sim) {}
    // Listens on `port` (0: any free port); false when it cannot.
    bool listen(uint16_t port);
    uint16_t port() const { return listener_ ? listener_->port() : 0; }
    // Serves until a quit command or `shouldStop` (asked about five times a second) says so.
    void serve(const std::function<bool()>& shouldStop);
    // Runs the control lines of a scenario text; false with the line's number and error.
    bool runScenario(const std::string& text, std::string& error);

  private:
    void handle(std::shared_ptr<TcpSocket> socket);

    Simulator& sim_;
    std::unique_ptr<TcpListener> listener_;
};

}  // namespace tov::phonesim
