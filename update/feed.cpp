#include "update/feed.h"

#include "core/json.h"
#include "update/release_notes.h"
#include "update/version.h"

namespace tov {
namespace {

bool isTrue(const JsonValue& object, const char* key) {
    const JsonValue* v = object.find(key);
    return v && v->kind == JsonValue::Boolean && v->flag;
}

std::string stringMember(const JsonValue& object, const char* key) {
    const JsonValue* v = object.find(key);
    return v && v->kind == JsonValue::String ? v->text : std::string();
}

void readAssets(const JsonValue& release, FeedReading& out) {
    out.buildUrl.clear();
    out.signatureUrl.clear();
    const JsonValue* assets = release.find("assets");
    if (!assets || assets->kind != JsonValue::Array) return;
    for (const JsonValue& asset : assets->items) {
        const std::string name = stringMember(asset, "name");
        if (name == kBuildAssetName) out.buildUrl = stringMember(asset, "browser_download_url");
        if (name == kSignatureAssetName) {
            out.signatureUrl = stringMember(asset, "browser_download_url");
        }
    }
}

}  // namespace

FeedReading readFeed(const std::string& text, const std::string& currentVersion) {
    FeedReading out;
    JsonValue root;
    if (!parseJson(text, root) || root.kind != JsonValue::Array) return out;
    out.valid = true;
    const JsonValue* best = nullptr;
    for (const JsonValue& release : root.items) {
        if (isTrue(release, "draft") || isTrue(release, "prerelease")) continue;
        const std::string tag(withoutVersionPrefix(stringMember(release, "tag_name")));
        if (tag.empty() || compareVersions(tag, currentVersion) <= 0) continue;
        if (!isPlainVersion(tag)) {
            ++out.oddTags;
            continue;
        }
        const JsonValue* body = release.find("body");
        if (body && body->kind == JsonValue::String && !body->text.empty()) {
            out.notes.push_back({tag, simplifyReleaseNotes(body->text)});
        }
        if (!best || compareVersions(tag, out.bestVersion) > 0) {
            best = &release;
            out.bestVersion = tag;
        }
    }
    if (best) readAssets(*best, out);
    return out;
}

}  // namespace tov
