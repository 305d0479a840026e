// The portable half of release signing: blob layout and source text.
#include "tools/release/signing.h"

#include <cstdio>

#include "update/signature.h"

namespace tov::release {

std::string publicKeyOf(std::string_view privateKey) {
    if (privateKey.size() != kPrivateKeyBlobBytes || privateKey.substr(0, 4) != "ECS2") return {};
    // Same header and point; only the magic's last letter tells public from private.
    std::string blob(privateKey.substr(0, kPublicKeyBlobBytes));
    blob[3] = '1';
    return blob;
}

std::string publicKeySource(std::string_view publicKey) {
    std::string out;
    char byte[8];
    for (size_t i = 0; i < publicKey.size(); ++i) {
        if (i % 12 == 0) out += i == 0 ? "    " : "\n    ";
        std::snprintf(byte, sizeof byte, "0x%02x,", static_cast<unsigned char>(publicKey[i]));
        out += byte;
        if (i % 12 != 11 && i + 1 < publicKey.size()) out += ' ';
    }
    return out + "\n";
}

}  // namespace tov::release
