// How the App wires the Wi-Fi subsystem, and its pauses and limits (tests make them short).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "wifi/pairing_code.h"
#include "wifi/wifi_adb.h"

namespace tov {

// Who the phone on an adb serial is; an empty key when it could not tell.
struct WifiIdentity {
    std::string key;
    std::string name;
};

struct WifiOptions {
    std::function<std::wstring()> findAdb;
    WifiAdbRun runAdb;
    // The phone link's identity query, run on the caller's thread.
    std::function<WifiIdentity(const std::wstring& adbPath, const std::string& serial)> identify;
    // settings.ini, which holds [wifiphones]; an empty path keeps nothing.
    std::function<std::wstring()> settingsPath;
    RandomSource random;
    uint32_t cardPollMs = 1000;       // discovery while the card is open
    uint32_t discoveryPollMs = 2000;  // discovery while a remembered phone is missing
    uint32_t giveUpMs = 120000;       // the card's wait for a phone to scan its code
    uint32_t phoneWaitMs = 15000;     // a paired phone's wait to appear on the network
    uint32_t firstRetryMs = 3000;     // reconnect pauses: the first...
    uint32_t maxRetryMs = 60000;      // ...and the longest
};

}  // namespace tov
