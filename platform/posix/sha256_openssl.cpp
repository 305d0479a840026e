// SHA-256 with OpenSSL for the native build.
#include <openssl/evp.h>

#include "platform/sha256.h"

namespace tov {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
    bool ok = false;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->context = EVP_MD_CTX_new();
    state_->ok =
        state_->context && EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->context); }

bool Sha256::update(const void* data, size_t size) {
    if (state_->ok && size > 0) state_->ok = EVP_DigestUpdate(state_->context, data, size) == 1;
    return state_->ok;
}

std::string Sha256::finish() {
    if (!state_->ok) return {};
    std::string digest(kSha256Bytes, '\0');
    unsigned size = 0;
    state_->ok = EVP_DigestFinal_ex(state_->context,
                                    reinterpret_cast<unsigned char*>(digest.data()), &size) == 1 &&
                 size == kSha256Bytes;
    const bool ok = state_->ok;
    state_->ok = false;
    return ok ? digest : std::string();
}

}  // namespace tov
