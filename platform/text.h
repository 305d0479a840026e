// UTF-8 <-> wide text. Inside the program every text is UTF-8; wide strings exist only where the
// operating system wants them (UTF-16 on Windows, UTF-32 on POSIX, both as std::wstring).
#pragma once

#include <string>
#include <string_view>

namespace tov {

// Invalid UTF-8 bytes become U+FFFD; never fails.
std::wstring widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD; never fails.
std::string narrow(std::wstring_view wide);
// UTF-16 code units on every platform, for data whose layout is UTF-16 whatever wchar_t is
// (clipboard blocks). Same replacement rules as widen and narrow.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// Each byte becomes one wide unit (Latin-1 style), as the settings file expects for its texts.
std::wstring widenBytes(std::string_view bytes);
// Each wide unit below 128 kept, every other unit replaced by '?'.
std::string narrowTo7Bit(std::wstring_view wide);

}  // namespace tov
