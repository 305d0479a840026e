// What a pairing QR code holds: a fresh service name and password for every card, from the
// system's secure random source, in adb's pairing text.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tov {

// Fills a buffer with secure random bytes; false when the source failed.
using RandomSource = std::function<bool(void* buffer, size_t size)>;

inline constexpr const char* kPairingNamePrefix = "tovenmar-";

struct PairingSecret {
    std::string name;      // "tovenmar-" + ten lower-case letters and digits
    std::string password;  // sixteen letters and digits
};

// False when the random source failed: then no code may be shown.
bool makePairingSecret(const RandomSource& random, PairingSecret& secret);

// "WIFI:T:ADB;S:<name>;P:<password>;;", what the phone's camera reads.
std::string pairingText(const PairingSecret& secret);

// The six digits a phone's "Pair device with pairing code" screen shows.
bool isPairingCode(std::string_view code);

}  // namespace tov
