// adb's Wi-Fi commands against the simulated network, with the real adb's texts and exit codes.
#pragma once

#include <string>

namespace tov::phonesim {

class Simulator;
class CommandChannel;
struct AdbArgs;

// "mdns check|services", "pair", "connect", "disconnect": answered by the adb server itself.
// `input` is what adb read from its standard input ("pair" without a code asks for one).
bool isWifiHostCommand(const std::string& command);
int wifiHostCommand(Simulator& sim, const AdbArgs& args, const std::string& input,
                    CommandChannel& out);

// "tcpip PORT" to the phone reached through `serial`: adbd restarts listening on TCP too.
int tcpipCommand(Simulator& sim, const AdbArgs& args, const std::string& phoneId,
                 const std::string& serial, CommandChannel& out);

}  // namespace tov::phonesim
