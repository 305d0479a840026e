// SHA-256 with CNG's built-in algorithm handle.
#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include "platform/sha256.h"
#include "platform/win/win_compat.h"

namespace tov {

struct Sha256::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->ok = BCRYPT_SUCCESS(
        BCryptCreateHash(BCRYPT_SHA256_ALG_HANDLE, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() {
    if (state_->hash) BCryptDestroyHash(state_->hash);
}

bool Sha256::update(const void* data, size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    // BCryptHashData takes a 32-bit length; feed larger inputs in pieces.
    while (state_->ok && size > 0) {
        const ULONG piece = static_cast<ULONG>(size < 0x40000000u ? size : 0x40000000u);
        state_->ok = BCRYPT_SUCCESS(BCryptHashData(state_->hash, bytes, piece, 0));
        bytes += piece;
        size -= piece;
    }
    return state_->ok;
}

std::string Sha256::finish() {
    if (!state_->ok) return {};
    std::string digest(kSha256Bytes, '\0');
    state_->ok = BCRYPT_SUCCESS(BCryptFinishHash(
        state_->hash, reinterpret_cast<PUCHAR>(digest.data()), static_cast<ULONG>(kSha256Bytes), 0));
    const bool ok = state_->ok;
    state_->ok = false;
    return ok ? digest : std::string();
}

}  // namespace tov
