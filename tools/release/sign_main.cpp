// tovenmar-sign: the release signing tool.
//   tovenmar-sign keygen <private-key-file>         new key pair; prints the public blob source
//   tovenmar-sign public <private-key-file>         prints the public blob source again
//   tovenmar-sign sign <private-key-file> <build> <signature-file>
//   tovenmar-sign verify <build> <signature-file>   checks against the key compiled in
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "tools/release/signing.h"
#include "update/signature.h"

namespace {

int usage() {
    std::fputs(
        "usage: tovenmar-sign keygen <private-key-file>\n"
        "       tovenmar-sign public <private-key-file>\n"
        "       tovenmar-sign sign <private-key-file> <build> <signature-file>\n"
        "       tovenmar-sign verify <build> <signature-file>\n",
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

int keygen(const std::wstring& path) {
    if (tov::isFile(path)) {
        std::fprintf(stderr, "%s exists; not overwriting a key\n", tov::narrow(path).c_str());
        return 1;
    }
    const std::string key = tov::release::generatePrivateKey();
    if (key.empty() || !tov::writeFile(path, key)) {
        std::fputs("could not make or save the key pair\n", stderr);
        return 1;
    }
    std::fputs(tov::release::publicKeySource(tov::release::publicKeyOf(key)).c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.push_back(tov::widen(argv[i]));
    if (args.size() == 2 && args[0] == L"keygen") return keygen(args[1]);
    if (args.size() == 2 && args[0] == L"public") {
        std::string key;
        if (!readPrivateKey(args[1], key)) return 1;
        std::fputs(tov::release::publicKeySource(tov::release::publicKeyOf(key)).c_str(), stdout);
        return 0;
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
    if (args.size() == 3 && args[0] == L"verify") {
        std::string signature;
        tov::readFile(args[2], signature);
        const bool valid = tov::verifyBuild(args[1], signature, tov::releasePublicKey());
        std::puts(valid ? "valid" : "NOT valid");
        return valid ? 0 : 1;
    }
    return usage();
}
