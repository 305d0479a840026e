// ECDSA P-256 keys in CNG. The built-in algorithm handle is used; where it is not available (some
// CNG implementations, such as Wine's, know only the hash handles) a provider opened for the
// key's lifetime takes its place.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include <string_view>

namespace tov {

class CngEcdsaKey {
  public:
    // Imports a blob of the given type (BCRYPT_ECCPUBLIC_BLOB or BCRYPT_ECCPRIVATE_BLOB).
    CngEcdsaKey(const wchar_t* blobType, std::string_view blob);
    // Makes a new key pair.
    CngEcdsaKey();
    ~CngEcdsaKey();
    CngEcdsaKey(const CngEcdsaKey&) = delete;
    CngEcdsaKey& operator=(const CngEcdsaKey&) = delete;

    // Null when the import or generation failed.
    BCRYPT_KEY_HANDLE get() const { return key_; }

  private:
    BCRYPT_ALG_HANDLE provider_ = nullptr;
    BCRYPT_KEY_HANDLE key_ = nullptr;
};

}  // namespace tov
