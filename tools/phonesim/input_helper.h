// The input helper as the phone runs it: greets with its protocol version and the screen size,
// records every message the PC sends, answers pings, and hands clipboard items both ways.
#pragma once

#include <cstdint>
#include <string>

#include "platform/socket.h"
#include "tools/phonesim/connection_set.h"
#include "tools/phonesim/sim_phone.h"

namespace tov::phonesim {

class Simulator;

void runInputHelper(Simulator& sim, const ConnectionInfo& info, TcpSocket& socket);

// One line describing a message from the PC, as the control interface lists it; empty for
// messages that are not recorded (pings).
std::string describeInputMessage(uint8_t type, const std::string& payload);

// Collects clipboard items from header and chunk messages.
class ClipAssembler {
  public:
    // True when the message completed an item, which is then in `item`.
    bool add(uint8_t type, const std::string& payload, ClipRecord& item);

  private:
    bool collecting_ = false;
    uint32_t total_ = 0;
    ClipRecord current_;
};

// Header and chunk messages (framed) that carry one item to the PC.
std::string clipMessages(const ClipRecord& item);

}  // namespace tov::phonesim
