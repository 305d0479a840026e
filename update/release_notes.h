// Release notes as the feed writes them (Markdown) turned into the plain text the panel shows.
#pragma once

#include <string>
#include <string_view>

namespace tov {

// Per line: leading blanks and "#" marks go, a "- " or "* " list mark becomes a bullet, "**"
// emphasis goes. Trailing line ends of the whole text are removed. UTF-8 in and out.
std::string simplifyReleaseNotes(std::string_view body);

}  // namespace tov
