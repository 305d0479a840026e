#include "update/cng_ecdsa_win.h"

#include <vector>

#include "platform/win/win_compat.h"

namespace tov {
namespace {

constexpr NTSTATUS kInvalidHandle = static_cast<NTSTATUS>(0xC0000008L);

}  // namespace

CngEcdsaKey::CngEcdsaKey(const wchar_t* blobType, std::string_view blob) {
    // CNG wants a writable buffer; each key gets a fresh copy.
    std::vector<UCHAR> bytes(blob.begin(), blob.end());
    const auto import = [&](BCRYPT_ALG_HANDLE algorithm) {
        return BCryptImportKeyPair(algorithm, nullptr, blobType, &key_, bytes.data(),
                                   static_cast<ULONG>(bytes.size()), 0);
    };
    NTSTATUS status = import(BCRYPT_ECDSA_P256_ALG_HANDLE);
    if (status == kInvalidHandle && BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(
                                        &provider_, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        status = import(provider_);
    }
    if (!BCRYPT_SUCCESS(status)) key_ = nullptr;
    SecureZeroMemory(bytes.data(), bytes.size());
}

CngEcdsaKey::CngEcdsaKey() {
    NTSTATUS status = BCryptGenerateKeyPair(BCRYPT_ECDSA_P256_ALG_HANDLE, &key_, 256, 0);
    if (status == kInvalidHandle && BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(
                                        &provider_, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        status = BCryptGenerateKeyPair(provider_, &key_, 256, 0);
    }
    if (BCRYPT_SUCCESS(status)) status = BCryptFinalizeKeyPair(key_, 0);
    if (!BCRYPT_SUCCESS(status) && key_) {
        BCryptDestroyKey(key_);
        key_ = nullptr;
    }
}

CngEcdsaKey::~CngEcdsaKey() {
    if (key_) BCryptDestroyKey(key_);
    if (provider_) BCryptCloseAlgorithmProvider(provider_, 0);
}

}  // namespace tov
