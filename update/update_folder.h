// The files of %LOCALAPPDATA%\Tovenmar\update. The folder and its parent are made, errors
// ignored, each time a path in it is formed, so a folder deleted while the program runs comes
// back. Versions are checked before they become file names: a path is empty for a version that
// is not plain, so nothing is ever written outside the folder.
#pragma once

#include <string>

namespace tov {

class UpdateFolder {
  public:
    std::wstring path() const;
    std::wstring readyFile() const;                                // ready.txt
    std::wstring buildFile(const std::string& version) const;      // Tovenmar-<v>.exe
    std::wstring partFile(const std::string& version) const;       // Tovenmar-<v>.exe.part
    std::wstring signatureFile(const std::string& version) const;  // Tovenmar-<v>.exe.sig
    std::wstring notesFile(const std::string& version) const;      // notes-<v>.txt

    // The version named by a notes file name, or empty when the name is not one.
    static std::string notesVersion(const std::wstring& fileName);

  private:
    std::wstring versionedFile(const std::string& version, const std::string& prefix,
                               const std::string& suffix) const;
};

}  // namespace tov
