// The release feed: a JSON array of release objects ("tag_name", "draft", "prerelease", "body",
// "assets" with "name" and "browser_download_url").
#pragma once

#include <string>
#include <vector>

namespace tov {

inline constexpr const char* kBuildAssetName = "Tovenmar.exe";
inline constexpr const char* kSignatureAssetName = "Tovenmar.exe.sig";

struct ReleaseNotes {
    std::string version;  // plain version without the "v"
    std::string text;     // already simplified
};

struct FeedReading {
    bool valid = false;  // the text parsed and its top level is an array
    // Simplified notes of every published release newer than the current version, in feed order.
    std::vector<ReleaseNotes> notes;
    // The highest published release newer than the current version; empty when there is none.
    std::string bestVersion;
    // Its asset addresses; either may be empty when the release does not carry it yet.
    std::string buildUrl;
    std::string signatureUrl;
    // Releases left out because their tag is not a plain version (it would end up in file names).
    int oddTags = 0;
};

// Reads the feed against `currentVersion`. Drafts and prereleases are skipped; among equal tags
// the first stays best; among assets of the same name the later one wins.
FeedReading readFeed(const std::string& text, const std::string& currentVersion);

}  // namespace tov
