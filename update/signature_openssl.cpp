// Signature check with OpenSSL for the native build.
#include <openssl/evp.h>

#include <vector>

#include "platform/files.h"
#include "update/ecdsa_openssl.h"
#include "update/signature.h"

namespace tov {

bool verifyBuild(const std::wstring& path, std::string_view signature,
                 std::string_view publicKeyBlob) {
    if (signature.size() != kSignatureBytes) return false;
    const std::string digest = fileSha256(path);
    if (digest.empty()) return false;
    const PkeyPtr key = publicKeyFromBlob(publicKeyBlob);
    const std::string der = rawSignatureToDer(signature);
    if (!key || der.empty()) return false;
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new(key.get(), nullptr);
    const bool valid =
        context && EVP_PKEY_verify_init(context) == 1 &&
        EVP_PKEY_verify(context, reinterpret_cast<const unsigned char*>(der.data()), der.size(),
                        reinterpret_cast<const unsigned char*>(digest.data()), digest.size()) == 1;
    EVP_PKEY_CTX_free(context);
    return valid;
}

}  // namespace tov
