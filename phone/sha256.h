// SHA-256, portable, for the digest of the phone app package that the program carries. The
// package lives in memory (a resource on Windows), so no file or system hash service is needed.
#pragma once

#include <string>
#include <string_view>

namespace tov {

// The digest as 64 lower-case hexadecimal characters, the form sha256sum prints.
std::string sha256Hex(std::string_view data);

}  // namespace tov
