// Release signing with CNG.
#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include "platform/win/win_compat.h"
#include "tools/release/signing.h"
#include "update/cng_ecdsa_win.h"
#include "update/signature.h"

namespace tov::release {

std::string generatePrivateKey() {
    const CngEcdsaKey key;
    if (!key.get()) return {};
    std::string blob(kPrivateKeyBlobBytes, '\0');
    ULONG size = 0;
    const bool ok = BCRYPT_SUCCESS(BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB,
                                                   reinterpret_cast<PUCHAR>(blob.data()),
                                                   static_cast<ULONG>(blob.size()), &size, 0)) &&
                    size == blob.size();
    return ok ? blob : std::string();
}

std::string signFile(std::string_view privateKey, const std::wstring& path) {
    if (privateKey.size() != kPrivateKeyBlobBytes) return {};
    std::string digest = fileSha256(path);
    if (digest.empty()) return {};
    const CngEcdsaKey key(BCRYPT_ECCPRIVATE_BLOB, privateKey);
    if (!key.get()) return {};
    std::string signature(kSignatureBytes, '\0');
    ULONG size = 0;
    const bool ok =
        BCRYPT_SUCCESS(BCryptSignHash(key.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()),
                                      static_cast<ULONG>(digest.size()),
                                      reinterpret_cast<PUCHAR>(signature.data()),
                                      static_cast<ULONG>(signature.size()), &size, 0)) &&
        size == signature.size();
    return ok ? signature : std::string();
}

}  // namespace tov::release
