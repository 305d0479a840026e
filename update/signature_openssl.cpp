// Signature check with OpenSSL for the native build.
#include <openssl/evp.h>

#include <vector>

#include "platform/files.h"
#include "update/ecdsa_openssl.h"
#include "update/signature.h"

namespace tov {

std::string fileSha256(const std::wstring& path) {
    FILE* file = openSharedFile(path, L"rb");
    if (!file) return {};
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool ok = context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    std::vector<unsigned char> block(kHashBlockBytes);
    while (ok) {
        const size_t got = std::fread(block.data(), 1, block.size(), file);
        if (got > 0 && EVP_DigestUpdate(context, block.data(), got) != 1) ok = false;
        if (got < block.size()) {
            ok = ok && !std::ferror(file);
            break;
        }
    }
    std::fclose(file);
    std::string digest(kSha256Bytes, '\0');
    unsigned size = 0;
    ok = ok &&
         EVP_DigestFinal_ex(context, reinterpret_cast<unsigned char*>(digest.data()), &size) == 1 &&
         size == kSha256Bytes;
    EVP_MD_CTX_free(context);
    return ok ? digest : std::string();
}

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
