// The operating system's secure random source, for secrets such as pairing passwords.
#pragma once

#include <cstddef>

namespace tov {

// Fills `size` bytes; false when the source failed (the buffer's content is then not to be used).
bool secureRandom(void* buffer, size_t size);

}  // namespace tov
