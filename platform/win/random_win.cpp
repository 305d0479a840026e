// CNG's system-preferred random number generator.
#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include "platform/random.h"

namespace tov {

bool secureRandom(void* buffer, size_t size) {
    auto* bytes = static_cast<PUCHAR>(buffer);
    while (size > 0) {
        // BCryptGenRandom takes a 32-bit length.
        const ULONG piece = static_cast<ULONG>(size < 0x40000000u ? size : 0x40000000u);
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, bytes, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            return false;
        }
        bytes += piece;
        size -= piece;
    }
    return true;
}

}  // namespace tov
