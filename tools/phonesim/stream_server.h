// The phone's stream server, in Phone app mode (tcp:27183) and No app mode ("tovenmar-stream"):
// options in, hello out, then video configuration, access units of the clip at the phone's frame
// rate, audio configuration and a PCM tone in real time, state reports, pongs.
#pragma once

#include <string>

#include "platform/socket.h"
#include "session/text_map.h"
#include "tools/phonesim/connection_set.h"
#include "tools/phonesim/video_clip.h"

namespace tov::phonesim {

class Simulator;
struct SimPhone;

// Serves one forwarded connection until it ends.
void runStreamServer(Simulator& sim, const ConnectionInfo& info, TcpSocket& socket);

// The phone's state report for the options in force and the codec it sends.
TextMap streamStateReport(const SimPhone& phone, const TextMap& options, bool noApp,
                          VideoCodec codec, int width, int height);

// The codec the phone app picks: HEVC when the PC decodes it, the phone encodes it and the
// options ask for it or leave the choice to the phone; H.264 otherwise.
VideoCodec chooseCodec(const SimPhone& phone, const TextMap& options);

// Payload of a video configuration packet: width, height, fps, codec and the parameter sets.
std::string videoConfigPayload(const VideoClip& clip, int fps);

// Byte strings of deliberately broken packets, by fault name ("malformed", "overlong",
// "maxsize"); empty for an unknown name.
std::string faultPackets(const std::string& fault);

}  // namespace tov::phonesim
