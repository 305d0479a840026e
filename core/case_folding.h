// Names compared as a phone's shared storage compares them: without regard to case, accented
// and non-Latin letters included (Unicode simple case folding for Basic Latin, Latin-1
// Supplement, Latin Extended-A, Greek and Coptic, and Cyrillic with its Supplement).
#pragma once

#include <string>
#include <string_view>

namespace tov {

// The UTF-8 text with each of those letters folded to its small form ("Été" and "ÉTÉ" both give
// "été"). Other characters, and bytes that are no UTF-8, are kept as they are.
std::string caseFolded(std::string_view utf8);

}  // namespace tov
