// The release feed as the updater reads it, on arbitrary bytes: it must never crash or hang, and
// every version it hands on (the best release, each notes file) must be safe to put in a file
// name and newer than this build.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/feed.h"
#include "update/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const tov::FeedReading feed = tov::readFeed(text, tov::kCurrentVersion);
    if (!feed.valid && (!feed.bestVersion.empty() || !feed.notes.empty())) std::abort();
    auto usable = [](const std::string& version) {
        return tov::isPlainVersion(version) &&
               tov::compareVersions(version, tov::kCurrentVersion) > 0;
    };
    if (!feed.bestVersion.empty() && !usable(feed.bestVersion)) std::abort();
    for (const tov::ReleaseNotes& notes : feed.notes) {
        if (!usable(notes.version)) std::abort();
        // Simplified notes never end in a line feed.
        if (!notes.text.empty() && notes.text.back() == '\n') std::abort();
    }
    return 0;
}
