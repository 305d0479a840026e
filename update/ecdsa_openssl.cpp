#include "update/ecdsa_openssl.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/param_build.h>

#include <cstdint>

namespace tov {
namespace {

constexpr size_t kCoordinateBytes = 32;
constexpr size_t kHeaderBytes = 8;  // magic, key length

bool hasHeader(std::string_view blob, std::string_view magic, size_t size) {
    if (blob.size() != size || blob.substr(0, 4) != magic) return false;
    const auto* length = reinterpret_cast<const uint8_t*>(blob.data() + 4);
    return length[0] == kCoordinateBytes && length[1] == 0 && length[2] == 0 && length[3] == 0;
}

// Builds a key from the X, Y (and optionally d) fields that follow the blob header.
PkeyPtr keyFromFields(std::string_view blob, bool withPrivate) {
    std::string point = "\x04";  // uncompressed point: X then Y
    point.append(blob.substr(kHeaderBytes, 2 * kCoordinateBytes));
    OSSL_PARAM_BLD* build = OSSL_PARAM_BLD_new();
    BIGNUM* d = nullptr;
    bool ok = build &&
              OSSL_PARAM_BLD_push_utf8_string(build, OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) &&
              OSSL_PARAM_BLD_push_octet_string(build, OSSL_PKEY_PARAM_PUB_KEY, point.data(),
                                               point.size());
    if (ok && withPrivate) {
        const std::string_view secret = blob.substr(kHeaderBytes + 2 * kCoordinateBytes);
        d = BN_bin2bn(reinterpret_cast<const unsigned char*>(secret.data()),
                      static_cast<int>(secret.size()), nullptr);
        ok = d && OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_PRIV_KEY, d);
    }
    OSSL_PARAM* params = ok ? OSSL_PARAM_BLD_to_param(build) : nullptr;
    EVP_PKEY_CTX* context = params ? EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr) : nullptr;
    EVP_PKEY* key = nullptr;
    if (context && EVP_PKEY_fromdata_init(context) == 1) {
        EVP_PKEY_fromdata(context, &key, withPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                          params);
    }
    EVP_PKEY_CTX_free(context);
    OSSL_PARAM_free(params);
    BN_clear_free(d);
    OSSL_PARAM_BLD_free(build);
    return PkeyPtr(key);
}

}  // namespace

PkeyPtr publicKeyFromBlob(std::string_view blob) {
    if (!hasHeader(blob, kPublicBlobMagic, kHeaderBytes + 2 * kCoordinateBytes)) return nullptr;
    return keyFromFields(blob, false);
}

PkeyPtr privateKeyFromBlob(std::string_view blob) {
    if (!hasHeader(blob, kPrivateBlobMagic, kHeaderBytes + 3 * kCoordinateBytes)) return nullptr;
    return keyFromFields(blob, true);
}

std::string rawSignatureToDer(std::string_view raw) {
    if (raw.size() != 2 * kCoordinateBytes) return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
    ECDSA_SIG* sig = ECDSA_SIG_new();
    BIGNUM* r = BN_bin2bn(bytes, kCoordinateBytes, nullptr);
    BIGNUM* s = BN_bin2bn(bytes + kCoordinateBytes, kCoordinateBytes, nullptr);
    std::string der;
    if (sig && r && s && ECDSA_SIG_set0(sig, r, s)) {
        r = s = nullptr;  // owned by sig now
        unsigned char* out = nullptr;
        const int size = i2d_ECDSA_SIG(sig, &out);
        if (size > 0) der.assign(reinterpret_cast<char*>(out), static_cast<size_t>(size));
        OPENSSL_free(out);
    }
    BN_free(r);
    BN_free(s);
    ECDSA_SIG_free(sig);
    return der;
}

std::string derSignatureToRaw(std::string_view der) {
    const auto* in = reinterpret_cast<const unsigned char*>(der.data());
    ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(der.size()));
    if (!sig) return {};
    std::string raw(2 * kCoordinateBytes, '\0');
    auto* out = reinterpret_cast<unsigned char*>(raw.data());
    const bool ok =
        BN_bn2binpad(ECDSA_SIG_get0_r(sig), out, kCoordinateBytes) > 0 &&
        BN_bn2binpad(ECDSA_SIG_get0_s(sig), out + kCoordinateBytes, kCoordinateBytes) > 0;
    ECDSA_SIG_free(sig);
    return ok ? raw : std::string();
}

}  // namespace tov
