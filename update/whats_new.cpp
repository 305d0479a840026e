#include "update/whats_new.h"

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "update/version.h"

namespace tov {

std::string whatsNewText(const UpdateFolder& folder, const std::string& previousVersion) {
    struct Entry {
        std::string version;
        std::string text;
    };
    std::vector<Entry> entries;
    const std::wstring dir = folder.path();
    for (const std::wstring& name : listFiles(dir)) {
        const std::string version = UpdateFolder::notesVersion(name);
        if (version.empty() || compareVersions(previousVersion, version) >= 0 ||
            compareVersions(version, kCurrentVersion) > 0) {
            continue;
        }
        Entry entry{version, {}};
        if (readFile(joinPath(dir, name), entry.text)) entries.push_back(std::move(entry));
    }
    // Equal versions written differently ("1.2", "1.2.0") keep a fixed order.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = compareVersions(a.version, b.version);
        return order != 0 ? order > 0 : a.version < b.version;
    });
    if (entries.size() == 1) return entries[0].text;
    std::string out;
    for (const Entry& entry : entries) {
        if (!out.empty()) out += "\n\n";
        out += "Version " + entry.version + "\n" + entry.text;
    }
    return out;
}

void dropOldNotes(const UpdateFolder& folder) {
    const std::wstring dir = folder.path();
    for (const std::wstring& name : listFiles(dir)) {
        const std::string version = UpdateFolder::notesVersion(name);
        if (!version.empty() && compareVersions(version, kCurrentVersion) <= 0) {
            deleteFile(joinPath(dir, name));
        }
    }
}

}  // namespace tov
