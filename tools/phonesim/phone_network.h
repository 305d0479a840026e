// A simulated phone on the Wi-Fi network: its settings, its name in adb's discovery, the services
// it announces, and what its "ip" command prints.
#pragma once

#include <string>
#include <vector>

#include "tools/phonesim/sim_phone.h"

namespace tov::phonesim {

inline constexpr const char* kConnectService = "_adb-tls-connect._tcp";
inline constexpr const char* kPairingService = "_adb-tls-pairing._tcp";
// What adbd announces while it listens on plain TCP ("adb tcpip").
inline constexpr const char* kPlainService = "_adb._tcp";

// A port no simulated service used before in this daemon, as a phone picks a fresh random one.
int takeNetworkPort();

// ip=A.B.C.D|none, up=0|1, debugging=0|1, connectPort=N, paired=0|1, tcpip=PORT|0, mdnsName=NAME.
bool isNetworkSetting(const std::string& key);
bool applyNetworkSetting(SimPhone& phone, const std::string& key, const std::string& value,
                         std::string& error);

// The phone's instance name in discovery ("adb-" + serial number + "-" + six letters), which
// adb also reports as the guid of a pairing.
std::string discoveryName(const SimPhone& phone);

// One announced service as "adb mdns services" prints it: name, type, address:port.
struct AnnouncedService {
    std::string name;
    std::string type;
    std::string address;
};
// What the phone announces now (nothing while it is off the network).
std::vector<AnnouncedService> announcedServices(const SimPhone& phone);

// The phone's "ip WORDS": "ip [-4|-f inet] addr [show [dev] IFACE]" and "ip route". Returns the
// exit code; `out` gets what it prints.
int ipCommand(const SimPhone& phone, const std::vector<std::string>& words, std::string& out);

// "A.B.C.D" with each part 0..255.
bool isIpv4(const std::string& text);

}  // namespace tov::phonesim
