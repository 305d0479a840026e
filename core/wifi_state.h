// What the panel shows of Wi-Fi: the pairing card, the phones offering pairing on the network,
// and the phones the program remembers. The Wi-Fi subsystem hands out copies; the App keeps the
// latest in its model for the panel to draw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tov {

// Where the pairing card stands.
enum class WifiStep {
    Closed,      // no card
    Starting,    // the card opened; the QR code and adb's discovery are being set up
    Looking,     // waiting for a phone to scan the code or for the user to pick one
    Pairing,     // "adb pair" runs
    Connecting,  // paired; "adb connect" runs or waits for the phone to appear on the network
    Connected,   // the phone is connected over Wi-Fi (and remembered)
    Failed,      // the last step failed; `status` says why, in adb's words where it has any
    GaveUp,      // no phone paired within two minutes; "Try again" makes a new code
};

// A phone on the network that offers pairing (its "Pair device with pairing code" screen).
struct WifiOffer {
    std::string name;     // its name in discovery
    std::string address;  // "host:port" of its pairing service

    bool operator==(const WifiOffer&) const = default;
};

// A phone connected over Wi-Fi once, which the program connects again by itself.
struct WifiRemembered {
    std::string key;         // the phone's key, as the phone list has it
    std::string name;        // its display name
    std::string address;     // "host:port" where it was connected last
    std::string service;     // its name in discovery; empty when it announces none
    bool connected = false;  // adb lists it over Wi-Fi now

    bool operator==(const WifiRemembered&) const = default;
};

struct WifiState {
    bool cardOpen = false;
    WifiStep step = WifiStep::Closed;
    std::string pairingText;  // the QR code's text, "WIFI:T:ADB;S:<name>;P:<password>;;"
    std::string status;       // the card's line: what happens now, or why it failed
    bool canRetry = false;    // "Try again" (a new code) is offered
    bool discovery = true;    // adb can look for phones on the network
    std::vector<WifiOffer> offers;
    std::vector<WifiRemembered> remembered;
    // The last outcome outside the card ("Use over Wi-Fi", a reconnect, "Forget").
    std::string note;
    bool noteFailed = false;
    uint32_t noteNumber = 0;  // counts the notes, so that one repeated word for word is news too

    bool operator==(const WifiState&) const = default;
};

}  // namespace tov
