// The link between the adb stand-in (and the control client) and the simulator daemon: one TCP
// connection per command, framed like the stream (16-byte header, big-endian length).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/socket.h"

namespace tov::phonesim {

enum class LinkMessage : uint8_t {
    AdbCommand = 1,  // client to daemon: the adb arguments, NUL-separated
    Control = 2,     // client to daemon: one control command line
    // client to daemon: the next piece of the local bytes the command carries: the file a push
    // or install names, or what a command that asks for input read from standard input
    FileData = 3,
    Output = 20,     // daemon to client: bytes for the client's standard output
    Exit = 21,       // daemon to client: 4-byte exit code; the answer is complete
};

// The environment variable that names the daemon's port; Wine hands it on to adb.exe.
inline constexpr const wchar_t* kPortVariable = L"TOVENMAR_PHONESIM";
// Local files travel in pieces of this size, up to the whole limit.
inline constexpr size_t kFilePieceSize = 4u * 1024 * 1024;
inline constexpr size_t kMaxFileSize = 512u * 1024 * 1024;

// The fallback: a file beside the adb program holding the port in decimal.
inline constexpr const wchar_t* kPortFileName = L"phonesim.port";

std::string joinArguments(const std::vector<std::string>& args);
std::vector<std::string> splitArguments(const std::string& payload);

bool sendLinkMessage(TcpSocket& socket, LinkMessage type, const std::string& payload);
// False when the connection ended, failed, timed out or announced more than 16 MiB.
bool receiveLinkMessage(TcpSocket& socket, LinkMessage& type, std::string& payload);

// The daemon's port from the environment, else from the port file in `programFolder`; 0 when
// neither names a port.
uint16_t findDaemonPort(const std::wstring& programFolder);
// "1234" or " 1234\n" → 1234; anything else → 0.
uint16_t parsePort(const std::string& text);

// One complete exchange as a client: sends the messages, copies every Output to `out` and
// returns the exit code, or -1 when the daemon could not be reached or hung up early.
struct LinkAnswer {
    int exitCode = -1;
    std::string output;
};
LinkAnswer exchange(uint16_t port, const std::vector<std::pair<LinkMessage, std::string>>& request,
                    const std::function<void(const std::string&)>& onOutput = {});

}  // namespace tov::phonesim
