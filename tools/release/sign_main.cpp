// tovenmar-sign: the release signing tool.
//   tovenmar-sign keygen <private-key-file> <public-key-file>   a new key pair
//   tovenmar-sign public <private-key-file> <public-key-file>   the public half again
//   tovenmar-sign sign <private-key-file> <build> <signature-file>
//   tovenmar-sign verify <build> <signature-file> [<public-key-file>]
//       checks against the named key, or the one compiled into this tool
//   tovenmar-sign check-feed <feed-file>
//       reads a feed as the updater does and prints the release it would download
#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/files.h"
#include "platform/text.h"
#include "tools/release/signing.h"
#include "update/feed.h"
#include "update/signature.h"

namespace {

int usage() {
    std::fputs(
        "usage: tovenmar-sign keygen <private-key-file> <public-key-file>\n"
        "       tovenmar-sign public <private-key-file> <public-key-file>\n"
        "       tovenmar-sign sign <private-key-file> <build> <signature-file>\n"
        "       tovenmar-sign verify <build> <signature-file> [<public-key-file>]\n"
        "       tovenmar-sign check-feed <feed-file>\n",
        stderr);
    return 2;
}

bool readPrivateKey(const std::wstring& path, std::string& key) {
    if (!tov::readFile(path, key) || tov::release::publicKeyOf(key).empty()) {
        std::fprintf(stderr, "%s is not a private key made by keygen\n", tov::narrow(path).c_str());
        return false;
    }
    return true;
}

bool readPublicKey(const std::wstring& path, std::string& key) {
    if (!tov::readFile(path, key) || !tov::release::isPublicKeyBlob(key)) {
        std::fprintf(stderr, "%s is not a public key made by keygen\n", tov::narrow(path).c_str());
        return false;
    }
    return true;
}

// Writes the private key readable by its owner only.
bool savePrivateKey(const std::wstring& path, const std::string& key) {
#ifndef _WIN32
    const mode_t previous = ::umask(077);
#endif
    const bool saved = tov::writeFile(path, key);
#ifndef _WIN32
    ::umask(previous);
#endif
    return saved;
}

bool savePublicKey(const std::wstring& path, const std::string& privateKey) {
    const std::string key = tov::release::publicKeyOf(privateKey);
    if (!tov::writeFile(path, key)) {
        std::fprintf(stderr, "could not write %s\n", tov::narrow(path).c_str());
        return false;
    }
    std::printf("public key %s\nfingerprint %s\n", tov::narrow(path).c_str(),
                tov::release::publicKeyFingerprint(key).c_str());
    return true;
}

int keygen(const std::wstring& privatePath, const std::wstring& publicPath) {
    for (const std::wstring& path : {privatePath, publicPath}) {
        if (tov::isFile(path)) {
            std::fprintf(stderr, "%s exists; not overwriting a key\n", tov::narrow(path).c_str());
            return 1;
        }
    }
    const std::string key = tov::release::generatePrivateKey();
    if (key.empty() || !savePrivateKey(privatePath, key)) {
        std::fputs("could not make or save the key pair\n", stderr);
        return 1;
    }
    return savePublicKey(publicPath, key) ? 0 : 1;
}

int verify(const std::vector<std::wstring>& args) {
    std::string key = tov::releasePublicKey();
    if (args.size() == 4 && !readPublicKey(args[3], key)) return 1;
    std::string signature;
    tov::readFile(args[2], signature);
    const bool valid = tov::verifyBuild(args[1], signature, key);
    std::puts(valid ? "valid" : "NOT valid");
    return valid ? 0 : 1;
}

int checkFeed(const std::wstring& path) {
    std::string text;
    if (!tov::readFile(path, text)) {
        std::fprintf(stderr, "could not read %s\n", tov::narrow(path).c_str());
        return 1;
    }
    // Against version 0, every release in the feed is newer: the one the updater would take.
    const tov::FeedReading feed = tov::readFeed(text, "0.0.0");
    if (!feed.valid) {
        std::fputs("not a feed: the updater wants a JSON array of releases\n", stderr);
        return 1;
    }
    if (feed.oddTags > 0) {
        std::printf("skipped: %d release(s) whose tag is not a version\n", feed.oddTags);
    }
    if (feed.bestVersion.empty()) {
        std::fputs("no published release (drafts and prereleases do not count)\n", stderr);
        return 1;
    }
    std::printf("newest: %s\nbuild: %s\nsignature: %s\n", feed.bestVersion.c_str(),
                feed.buildUrl.c_str(), feed.signatureUrl.c_str());
    for (const tov::ReleaseNotes& notes : feed.notes) {
        if (notes.version == feed.bestVersion) std::printf("notes:\n%s\n", notes.text.c_str());
    }
    if (feed.buildUrl.empty() || feed.signatureUrl.empty()) {
        std::fputs("the release lacks an asset named Tovenmar.exe or Tovenmar.exe.sig\n", stderr);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.push_back(tov::widen(argv[i]));
    if (args.size() == 3 && args[0] == L"keygen") return keygen(args[1], args[2]);
    if (args.size() == 3 && args[0] == L"public") {
        std::string key;
        if (!readPrivateKey(args[1], key)) return 1;
        return savePublicKey(args[2], key) ? 0 : 1;
    }
    if (args.size() == 4 && args[0] == L"sign") {
        std::string key;
        if (!readPrivateKey(args[1], key)) return 1;
        const std::string signature = tov::release::signFile(key, args[2]);
        if (signature.empty() || !tov::writeFile(args[3], signature)) {
            std::fputs("could not sign the build\n", stderr);
            return 1;
        }
        return 0;
    }
    if ((args.size() == 3 || args.size() == 4) && args[0] == L"verify") return verify(args);
    if (args.size() == 2 && args[0] == L"check-feed") return checkFeed(args[1]);
    return usage();
}
