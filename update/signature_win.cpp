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
