// Signature check with CNG's built-in algorithm handles.
#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include <vector>

#include "platform/files.h"
#include "platform/win/win_compat.h"
#include "update/cng_ecdsa_win.h"
#include "update/signature.h"

namespace tov {

std::string fileSha256(const std::wstring& path) {
    FILE* file = openSharedFile(path, L"rb");
    if (!file) return {};
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptCreateHash(BCRYPT_SHA256_ALG_HANDLE, &hash, nullptr, 0, nullptr, 0, 0))) {
        std::fclose(file);
        return {};
    }
    std::vector<UCHAR> block(kHashBlockBytes);
    bool ok = true;
    while (true) {
        const size_t got = std::fread(block.data(), 1, block.size(), file);
        if (got > 0 &&
            !BCRYPT_SUCCESS(BCryptHashData(hash, block.data(), static_cast<ULONG>(got), 0))) {
            ok = false;
            break;
        }
        if (got < block.size()) {
            // A read error would leave the digest of part of the file.
            ok = !std::ferror(file);
            break;
        }
    }
    std::fclose(file);
    std::string digest(kSha256Bytes, '\0');
    const bool finished = BCRYPT_SUCCESS(BCryptFinishHash(
        hash, reinterpret_cast<PUCHAR>(digest.data()), static_cast<ULONG>(kSha256Bytes), 0));
    BCryptDestroyHash(hash);
    return ok && finished ? digest : std::string();
}

bool verifyBuild(const std::wstring& path, std::string_view signature,
                 std::string_view publicKeyBlob) {
    if (signature.size() != kSignatureBytes) return false;
    std::string digest = fileSha256(path);
    if (digest.empty()) return false;
    const CngEcdsaKey key(BCRYPT_ECCPUBLIC_BLOB, publicKeyBlob);
    if (!key.get()) return false;
    std::vector<UCHAR> sig(signature.begin(), signature.end());
    return BCRYPT_SUCCESS(BCryptVerifySignature(
        key.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()),
        static_cast<ULONG>(digest.size()), sig.data(), static_cast<ULONG>(sig.size()), 0));
}

}  // namespace tov
