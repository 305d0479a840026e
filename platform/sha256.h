// SHA-256 through the system's own hash service: CNG in Tovenmar.exe, OpenSSL in the native build.
// One hasher for the whole program: the carried phone package's digest, the update download's
// check and the release signing tool.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tov {

inline constexpr size_t kSha256Bytes = 32;
// Files are hashed in blocks of this size, so a build of any size is checked in fixed memory.
inline constexpr size_t kHashBlockBytes = size_t{1} << 20;

// Hashes data fed in pieces, so a file of any size is hashed in fixed memory.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False once the hash service failed; the hasher then stays failed.
    bool update(const void* data, size_t size);
    // The 32 raw digest bytes; empty when any step failed. The hasher is spent afterwards.
    std::string finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The 32 raw digest bytes of `data`; empty on failure.
std::string sha256(std::string_view data);
// The digest as 64 lower-case hexadecimal characters, the form sha256sum prints; empty on failure.
std::string sha256Hex(std::string_view data);
// SHA-256 of a file's bytes (opened shared with readers and writers), raw; empty on any failure,
// a read error part-way included.
std::string fileSha256(const std::wstring& path);

}  // namespace tov
