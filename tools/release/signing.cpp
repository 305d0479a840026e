// The portable half of release signing: blob layout and fingerprints.
#include "tools/release/signing.h"

#include "update/signature.h"

namespace tov::release {

std::string publicKeyOf(std::string_view privateKey) {
    if (privateKey.size() != kPrivateKeyBlobBytes || privateKey.substr(0, 4) != "ECS2") return {};
    // Same header and point; only the magic's last letter tells public from private.
    std::string blob(privateKey.substr(0, kPublicKeyBlobBytes));
    blob[3] = '1';
    return blob;
}

bool isPublicKeyBlob(std::string_view publicKey) {
    return publicKey.size() == kPublicKeyBlobBytes &&
           publicKey.substr(0, 8) == std::string_view("ECS1\x20\0\0\0", 8);
}

std::string publicKeyFingerprint(std::string_view publicKey) {
    return sha256Hex(publicKey);
}

}  // namespace tov::release
