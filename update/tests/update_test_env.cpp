#include "update/tests/update_test_env.h"

#include <algorithm>
#include <functional>

#include "core/log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tools/release/signing.h"

namespace tov::test {
namespace {

std::wstring makeWwwFolder(const TempDir& dir) {
    const std::wstring www = dir.file(L"www");
    createDirectory(www);
    return www;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

const std::string& testPrivateKey() {
    static const std::string key = release::generatePrivateKey();
    return key;
}

const std::string& testPublicKey() {
    static const std::string key = release::publicKeyOf(testPrivateKey());
    return key;
}

std::string signBytes(const std::string& bytes) {
    TempDir scratch;
    const std::wstring path = scratch.file(L"tosign.bin");
    writeFile(path, bytes);
    return release::signFile(testPrivateKey(), path);
}

std::string feedJson(const std::vector<FeedRelease>& releases) {
    std::string out = "[";
    for (const FeedRelease& r : releases) {
        if (out.size() > 1) out += ",";
        out += "{\"tag_name\":" + quoted(r.tag) + ",\"draft\":" + (r.draft ? "true" : "false") +
               ",\"prerelease\":" + (r.prerelease ? "true" : "false") +
               ",\"body\":" + quoted(r.body) + ",\"assets\":[";
        for (size_t i = 0; i < r.assets.size(); ++i) {
            if (i) out += ",";
            out += "{\"name\":" + quoted(r.assets[i].name) +
                   ",\"browser_download_url\":" + quoted(r.assets[i].url) + ",\"size\":1}";
        }
        out += "]}";
    }
    return out + "]";
}

UpdateTestEnv::UpdateTestEnv()
    : server(makeWwwFolder(dir)), feedUrl(L"TOVENMAR_UPDATE_URL", widen(server.url("/feed"))) {
    openLog();
    createDirectory(appFolder());
}

UpdateTestEnv::~UpdateTestEnv() {
    // Point the log elsewhere so this test's folder can be deleted (Windows keeps open files).
    const std::wstring elsewhere = joinPath(tempFolder(), L"tovtest-update-log");
    createDirectory(elsewhere);
    setEnv(L"LOCALAPPDATA", elsewhere.c_str());
    openLog();
}

std::string UpdateTestEnv::publish(const std::string& name, const std::string& bytes) {
    writeFile(joinPath(dir.file(L"www"), widen(name)), bytes);
    return server.url("/" + name);
}

void UpdateTestEnv::publishFeed(const std::vector<FeedRelease>& releases) {
    publish("feed", feedJson(releases));
}

FeedRelease UpdateTestEnv::publishRelease(const std::string& tag, const std::string& build,
                                          const std::string* signature) {
    FeedRelease release;
    release.tag = tag;
    release.body = "## Tovenmar " + tag + "\n- **New:** things";
    release.assets.push_back({"Tovenmar.exe", publish(tag + ".exe", build)});
    release.assets.push_back(
        {"Tovenmar.exe.sig", publish(tag + ".exe.sig", signature ? *signature : signBytes(build))});
    return release;
}

void UpdateTestEnv::stageReady(const std::string& version, const std::string& build) {
    writeFile(folder.buildFile(version), build);
    writeFile(folder.signatureFile(version), signBytes(build));
    writeFile(folder.readyFile(), version);
}

UpdaterOptions UpdateTestEnv::options() const {
    UpdaterOptions o;
    o.firstCheck = std::chrono::milliseconds(20);
    o.checkInterval = std::chrono::milliseconds(50);
    o.publicKey = testPublicKey();
    o.exePath = exePath();
    return o;
}

std::wstring UpdateTestEnv::appFolder() const {
    return dir.file(L"app");
}

std::wstring UpdateTestEnv::exePath() const {
    return joinPath(appFolder(), L"Tovenmar.exe");
}

std::string UpdateTestEnv::logText() const {
    std::string text;
    readFile(joinPath(dir.file(L"Tovenmar"), L"tovenmar.log"), text);
    return text;
}

std::string UpdateTestEnv::readUpdateFile(const std::wstring& path) const {
    std::string text;
    if (!readFile(path, text)) return "<missing>";
    return text;
}

std::vector<std::string> UpdateTestEnv::allFiles() const {
    std::vector<std::string> out;
    std::function<void(const std::wstring&, const std::string&)> walk =
        [&](const std::wstring& folderPath, const std::string& prefix) {
            for (const std::wstring& name : listFiles(folderPath))
                out.push_back(prefix + narrow(name));
            // listFiles names files only; the tree the updater touches has these folders.
            for (const wchar_t* sub : {L"Tovenmar", L"update", L"app"}) {
                const std::wstring child = joinPath(folderPath, sub);
                if (isDirectory(child)) walk(child, prefix + narrow(sub) + "/");
            }
        };
    walk(dir.path(), "");
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace tov::test
