// The phone's Download folder seen from the PC: what a listing of it says is there, the free name
// a copy takes beside a namesake (as Windows names copies), and the quoting that carries any name
// through the phone's shell. Pure functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tov {

// The names in the output of "ls -1a FOLDER", one a line, without "." and "..".
std::vector<std::string> folderNames(std::string_view lsOutput);

// `name` when the folder has nothing by that name, else the first of "stem (2).ext",
// "stem (3).ext"... that it has not. Shared storage on a phone ignores case, accented and
// other letters' too, so neither does the comparison.
std::string freeName(const std::string& name, const std::vector<std::string>& taken);

// The text in single quotes for the phone's shell, so that blanks, quotes, "$", ";" and any
// other character reach the command as they are.
std::string shellQuoted(std::string_view text);

}  // namespace tov
