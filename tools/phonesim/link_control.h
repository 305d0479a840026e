// The control command that shapes a phone's link (see README.md): `link ID rate=MBPS
// [delay=MS]`, `link ID free`, and `link ID`, which reports the shape and the backlog.
#pragma once

#include <string>
#include <vector>

namespace tov::phonesim {

class Simulator;
class CommandChannel;

int linkControl(Simulator& sim, const std::vector<std::string>& words, CommandChannel& out);

}  // namespace tov::phonesim
