// Reads a settings file back as plain "[section] key=value" entries, in file order, so tests can
// compare what the two private-profile implementations wrote without caring about blank lines,
// line ends or the spacing around "=".
#pragma once

#include <string>
#include <vector>

namespace tov::test {

// One "section/key=value" text per entry; section and key in lower case.
std::vector<std::string> iniEntries(const std::wstring& path);

// Writes `text` (UTF-8, "\n" line ends) as the file.
void writeIniText(const std::wstring& path, const std::string& text);

}  // namespace tov::test
