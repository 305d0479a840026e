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

}  // namespace tov
