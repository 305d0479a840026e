// The detached signature of a build: ECDSA P-256 over the SHA-256 of the whole file, as 64 raw
// bytes (r then s, big-endian), checked against a public key in the 72-byte ECCPUBLICBLOB form
// ("ECS1", key length 32, X, Y). CNG on Windows, OpenSSL elsewhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/sha256.h"

namespace tov {

inline constexpr size_t kSignatureBytes = 64;
inline constexpr size_t kPublicKeyBlobBytes = 72;
// True only for a valid signature of the file under the key. A signature that is not exactly
// 64 bytes (a DER or Base64 form, say) fails before the file is read.
bool verifyBuild(const std::wstring& path, std::string_view signature,
                 std::string_view publicKeyBlob);

// The public half of the key builds must be signed with: the TOVENMAR_RELEASE_KEY build option,
// compiled in.
std::string releasePublicKey();

}  // namespace tov
