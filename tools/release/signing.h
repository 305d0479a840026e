// Release signing: P-256 key pairs kept as CNG blobs, and raw r||s signatures over the SHA-256
// of a build, in the form the program checks. CNG on Windows, OpenSSL elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace tov::release {

inline constexpr size_t kPrivateKeyBlobBytes = 104;  // "ECS2", 32, X, Y, d

// A fresh key pair as a 104-byte ECCPRIVATEBLOB; empty on failure.
std::string generatePrivateKey();
// The 72-byte ECCPUBLICBLOB of a private blob; empty when the blob is malformed.
std::string publicKeyOf(std::string_view privateKey);
// 64 bytes r||s over SHA-256 of the file; empty on failure.
std::string signFile(std::string_view privateKey, const std::wstring& path);

// True for a 72-byte ECCPUBLICBLOB of a P-256 key ("ECS1", key length 32, X, Y), the form of
// a public key file.
bool isPublicKeyBlob(std::string_view publicKey);
// SHA-256 of the public blob as 64 hexadecimal characters: what the tool prints so that two
// copies of a key can be compared.
std::string publicKeyFingerprint(std::string_view publicKey);

}  // namespace tov::release
