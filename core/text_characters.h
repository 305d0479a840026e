// A UTF-8 text as the characters a reader sees: a letter with its accents, an emoji with its skin
// tone, variation selector or joined partners, a flag's two letters. Texts are shortened by these,
// never by bytes or UTF-16 units, so that no character is cut in half.
#pragma once

#include <string_view>
#include <vector>

namespace tov {

// The text split into characters, in order; joined again they give the text back byte for byte.
// A byte that is not valid UTF-8 is a character of its own. Covers the common combining marks,
// not every script's rules.
std::vector<std::string_view> textCharacters(std::string_view utf8);

}  // namespace tov
