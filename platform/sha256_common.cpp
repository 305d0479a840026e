#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "platform/sha256.h"

namespace tov {

std::string sha256(std::string_view data) {
    Sha256 hasher;
    if (!hasher.update(data.data(), data.size())) return {};
    return hasher.finish();
}

std::string sha256Hex(std::string_view data) {
    const std::string digest = sha256(data);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 15]);
    }
    return out;
}

std::string fileSha256(const std::wstring& path) {
    FILE* file = openSharedFile(path, L"rb");
    if (!file) return {};
    Sha256 hasher;
    std::vector<unsigned char> block(kHashBlockBytes);
    bool ok = true;
    while (ok) {
        const size_t got = std::fread(block.data(), 1, block.size(), file);
        if (got > 0) ok = hasher.update(block.data(), got);
        if (got < block.size()) {
            // A read error would leave the digest of part of the file.
            ok = ok && !std::ferror(file);
            break;
        }
    }
    std::fclose(file);
    std::string digest = hasher.finish();
    return ok ? digest : std::string();
}

}  // namespace tov
