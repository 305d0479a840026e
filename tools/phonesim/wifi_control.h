// Control commands that play the user and the network around a phone on Wi-Fi (see README.md):
// scanning a QR code, the pairing-code screen, Wi-Fi dropping and coming back, a new address,
// and adb's discovery being unavailable.
#pragma once

#include <string>
#include <vector>

namespace tov::phonesim {

class Simulator;
class CommandChannel;

bool isWifiControl(const std::string& verb);
int wifiControl(Simulator& sim, const std::vector<std::string>& words, CommandChannel& out);

// Reads adb's pairing text "WIFI:T:ADB;S:<name>;P:<password>;;" as a phone's camera does
// (fields in any order, "\" escapes the next character); false when it is not one.
bool parsePairingText(const std::string& text, std::string& name, std::string& password);

}  // namespace tov::phonesim
