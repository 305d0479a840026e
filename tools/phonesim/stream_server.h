// The phone's stream server, in Phone app mode (tcp:27183) and No app mode ("tovenmar-stream"):
// options in, hello out, then video configuration, access units of the clip at the phone's frame
// rate, audio configuration and a PCM tone in real time, state reports, pongs.
#pragma once

#include <string>

#include "platform/socket.h"
#include "session/text_map.h"
#include "tools/phonesim/connection_set.h"

namespace tov::phonesim {

class Simulator;
struct SimPhone;

// Serves one forwarded connection until it ends.
void runStreamServer(Simulator& sim, const ConnectionInfo& info, TcpSocket& socket);

// The phone's state report for the options in force.
TextMap streamStateReport(const SimPhone& phone, const TextMap& options, bool noApp, int width,
                          int height);

// Payload of a video configuration packet: width, height, fps, codec (0 H.264) and the
// parameter sets.
std::string videoConfigPayload(int width, int height, int fps, const std::string& parameterSets);

// Byte strings of deliberately broken packets, by fault name ("malformed", "overlong",
// "maxsize"); empty for an unknown name.
std::string faultPackets(const std::string& fault);

}  // namespace tov::phonesim
