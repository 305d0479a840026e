// Reading what adb and the phone answer to the Wi-Fi commands: discovery, pairing, connecting,
// and the phone's own network addresses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tov {

inline constexpr const char* kPairingServiceType = "_adb-tls-pairing._tcp";
inline constexpr const char* kConnectServiceType = "_adb-tls-connect._tcp";
// What adbd announces while it listens on plain TCP (after "adb tcpip").
inline constexpr const char* kPlainServiceType = "_adb._tcp";

// "mdns check": adb answers "mdns daemon version [...]" when it can discover, an "ERROR: ..." line
// when it cannot.
bool discoveryAvailable(std::string_view checkOutput);

// One line of "mdns services": name, type and address:port, separated by tabs. Older adb writes
// the type with a trailing dot; it is dropped.
struct MdnsService {
    std::string name;
    std::string type;
    std::string address;
};
std::vector<MdnsService> parseMdnsServices(std::string_view output);

// "pair": "Successfully paired to ADDRESS [guid=GUID]" on success, after adb's "Enter pairing
// code: " when the code came on its standard input; anything else is a failure, whatever the
// exit code (older adb exits with 0 after a failed pairing).
struct PairAnswer {
    bool ok = false;
    std::string guid;  // the phone's name in discovery, when adb gave it
};
PairAnswer readPairAnswer(std::string_view output);

// "connect": "connected to SERIAL" or "already connected to SERIAL" on success; adb exits with 0
// after a failure too, so only the text tells.
struct ConnectAnswer {
    bool ok = false;
    bool already = false;  // "already connected": the connection was there before
    std::string serial;    // the serial adb lists the connection under
};
ConnectAnswer readConnectAnswer(std::string_view output);

// adb's own words for a failure, fit for one line of the panel: the first lines of the output
// without adb's question for the pairing code and the "error: " and "adb: " prefixes, trimmed
// and cut short.
std::string adbWords(std::string_view output);

// The phone's Wi-Fi IPv4 address from "ip -f inet addr show": the address of the first "wlan"
// interface that has one. Empty when the phone is on no Wi-Fi network.
std::string wifiAddressFromIp(std::string_view ipOutput);

// "host:port" with a port of 1 to 65535 and a host that is a plain word.
bool splitAddress(std::string_view address, std::string& host, int& port);

// Letters, digits and . - _ : [ ] % only, not starting with "-": safe to put on adb's command
// line as one argument (addresses and discovery names come from the network and the user).
bool isPlainWord(std::string_view text);

}  // namespace tov
