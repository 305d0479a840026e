#include "update/update_folder.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "update/version.h"

namespace tov {
namespace {

const std::wstring kNotesPrefix = L"notes-";
const std::wstring kNotesSuffix = L".txt";

}  // namespace

std::wstring UpdateFolder::path() const {
    // Without LOCALAPPDATA the path starts at the root of the current drive; an empty one stands
    // for the user's own folder.
    std::wstring folder = localAppDataFolder() + kPathSep + L"Tovenmar";
    createDirectory(folder);
    folder += kPathSep;
    folder += L"update";
    createDirectory(folder);
    return folder;
}

std::wstring UpdateFolder::readyFile() const {
    return joinPath(path(), L"ready.txt");
}

std::wstring UpdateFolder::buildFile(const std::string& version) const {
    return versionedFile(version, "Tovenmar-", ".exe");
}

std::wstring UpdateFolder::partFile(const std::string& version) const {
    return versionedFile(version, "Tovenmar-", ".exe.part");
}

std::wstring UpdateFolder::signatureFile(const std::string& version) const {
    return versionedFile(version, "Tovenmar-", ".exe.sig");
}

std::wstring UpdateFolder::notesFile(const std::string& version) const {
    return versionedFile(version, narrow(kNotesPrefix), narrow(kNotesSuffix));
}

std::wstring UpdateFolder::versionedFile(const std::string& version, const std::string& prefix,
                                         const std::string& suffix) const {
    if (!isPlainVersion(version)) return {};
    return joinPath(path(), widen(prefix + version + suffix));
}

std::string UpdateFolder::notesVersion(const std::wstring& fileName) {
    if (fileName.size() <= kNotesPrefix.size() + kNotesSuffix.size()) return {};
    if (fileName.compare(0, kNotesPrefix.size(), kNotesPrefix) != 0) return {};
    if (fileName.compare(fileName.size() - kNotesSuffix.size(), kNotesSuffix.size(),
                         kNotesSuffix) != 0) {
        return {};
    }
    return narrow(fileName.substr(kNotesPrefix.size(),
                                  fileName.size() - kNotesPrefix.size() - kNotesSuffix.size()));
}

}  // namespace tov
