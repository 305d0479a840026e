// Version texts: three dot-separated numbers with an optional leading "v".
#pragma once

#include <string>
#include <string_view>

namespace tov {

// The version this build reports, also in the HTTP user agent: the TOVENMAR_VERSION build
// option, defined in the executable's generated build identity (update/build_identity.cpp.in).
extern const char kCurrentVersion[];
// Longest version text kept anywhere (the settings keep `seen` in 31 characters).
inline constexpr size_t kMaxVersionLength = 31;

// Drops one leading "v" or "V"; reads up to three numbers separated by dots (missing ones are 0,
// reading stops at the first character that does not fit) and compares them in order. Returns
// a negative number, 0 or a positive number.
int compareVersions(std::string_view a, std::string_view b);

// A version without its "v" that is safe to put in a file name: digits in dot-separated groups,
// at most kMaxVersionLength characters.
bool isPlainVersion(std::string_view text);

// The text less one leading "v" or "V".
std::string_view withoutVersionPrefix(std::string_view text);

}  // namespace tov
