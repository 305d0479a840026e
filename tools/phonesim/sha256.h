// SHA-256 as 64 lower-case hexadecimal characters, as sha256sum prints it.
#pragma once

#include <string>

namespace tov::phonesim {

std::string sha256Hex(const std::string& bytes);

}  // namespace tov::phonesim
