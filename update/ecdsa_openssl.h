// OpenSSL helpers for P-256 keys in the CNG blob forms and for raw r||s signatures. Native build
// only; the release tool shares them.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <string>
#include <string_view>

namespace tov {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;

// Blob magics as they sit in the first four bytes ("ECS1" public, "ECS2" private).
inline constexpr std::string_view kPublicBlobMagic = "ECS1";
inline constexpr std::string_view kPrivateBlobMagic = "ECS2";

// From a 72-byte ECCPUBLICBLOB; null when the blob is malformed or the point is not on the curve.
PkeyPtr publicKeyFromBlob(std::string_view blob);
// From a 104-byte ECCPRIVATEBLOB (the public blob's fields followed by d); null when malformed.
PkeyPtr privateKeyFromBlob(std::string_view blob);

// r||s (64 bytes) to the DER form OpenSSL takes, and back; empty when malformed.
std::string rawSignatureToDer(std::string_view raw);
std::string derSignatureToRaw(std::string_view der);

}  // namespace tov
