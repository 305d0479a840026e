#include "wifi/pairing_code.h"

#include <cstdint>

namespace tov {
namespace {

// `count` characters of `alphabet`, each equally likely: bytes that would favour the first
// characters are drawn again.
bool randomText(const RandomSource& random, std::string_view alphabet, size_t count,
                std::string& out) {
    const unsigned size = static_cast<unsigned>(alphabet.size());
    const unsigned limit = 256 - 256 % size;
    out.clear();
    uint8_t bytes[32];
    for (int rounds = 0; out.size() < count; ++rounds) {
        if (rounds > 64 || !random(bytes, sizeof bytes)) return false;
        for (uint8_t b : bytes) {
            if (b < limit && out.size() < count) out.push_back(alphabet[b % size]);
        }
    }
    return true;
}

}  // namespace

bool makePairingSecret(const RandomSource& random, PairingSecret& secret) {
    constexpr std::string_view kLower = "abcdefghijklmnopqrstuvwxyz0123456789";
    constexpr std::string_view kMixed =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix, password;
    if (!random || !randomText(random, kLower, 10, suffix) ||
        !randomText(random, kMixed, 16, password)) {
        return false;
    }
    secret.name = kPairingNamePrefix + suffix;
    secret.password = password;
    return true;
}

std::string pairingText(const PairingSecret& secret) {
    return "WIFI:T:ADB;S:" + secret.name + ";P:" + secret.password + ";;";
}

bool isPairingCode(std::string_view code) {
    if (code.size() != 6) return false;
    for (char c : code) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace tov
