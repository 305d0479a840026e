// Release signing with OpenSSL.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

#include "tools/release/signing.h"
#include "update/ecdsa_openssl.h"
#include "update/signature.h"

namespace tov::release {
namespace {

constexpr int kCoordinateBytes = 32;

}  // namespace

std::string generatePrivateKey() {
    PkeyPtr key(EVP_EC_gen("P-256"));
    if (!key) return {};
    unsigned char point[65];
    size_t pointSize = 0;
    BIGNUM* d = nullptr;
    std::string blob;
    if (EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point,
                                        &pointSize) == 1 &&
        pointSize == sizeof point && point[0] == 0x04 &&
        EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d) == 1) {
        blob.assign("ECS2\x20\0\0\0", 8);
        blob.append(reinterpret_cast<char*>(point + 1), 2 * kCoordinateBytes);
        std::string secret(kCoordinateBytes, '\0');
        if (BN_bn2binpad(d, reinterpret_cast<unsigned char*>(secret.data()), kCoordinateBytes) ==
            kCoordinateBytes) {
            blob += secret;
        } else {
            blob.clear();
        }
        OPENSSL_cleanse(secret.data(), secret.size());
    }
    BN_clear_free(d);
    return blob;
}

std::string signFile(std::string_view privateKey, const std::wstring& path) {
    const PkeyPtr key = privateKeyFromBlob(privateKey);
    const std::string digest = fileSha256(path);
    if (!key || digest.empty()) return {};
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new(key.get(), nullptr);
    std::string der(EVP_PKEY_get_size(key.get()), '\0');
    size_t derSize = der.size();
    const bool signedOk =
        context && EVP_PKEY_sign_init(context) == 1 &&
        EVP_PKEY_sign(context, reinterpret_cast<unsigned char*>(der.data()), &derSize,
                      reinterpret_cast<const unsigned char*>(digest.data()), digest.size()) == 1;
    EVP_PKEY_CTX_free(context);
    if (!signedOk) return {};
    der.resize(derSize);
    return derSignatureToRaw(der);
}

}  // namespace tov::release
