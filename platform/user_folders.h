// The user's own folders, where the program puts what the user keeps: recordings and screenshots.
#pragma once

#include <string>

namespace tov {

enum class UserFolder { Videos, Pictures };

// The folder's path (Windows' known folder; natively under $HOME), empty when it cannot be had.
std::wstring userFolder(UserFolder which);

// userFolder(which)\Tovenmar\<stem> <local date and time><extension>, with the folders made;
// empty when they cannot be made. A name already taken gets " (2)", " (3)"... before the
// extension.
std::wstring newUserFile(UserFolder which, const std::wstring& stem, const std::wstring& extension);

// `text` (UTF-8, such as a phone's name) made fit for a part of a file name on Windows: the
// characters a name cannot hold and control characters become '_', spaces and dots at the ends
// go (Windows drops trailing ones itself), and it is cut to 64 bytes at a character's start.
std::string fileNamePart(const std::string& text);

}  // namespace tov
