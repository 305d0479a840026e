#include "update/ready_update.h"

#include "core/log.h"
#include "platform/files.h"
#include "update/signature.h"
#include "update/version.h"

namespace tov {

std::string findReadyUpdate(const UpdateFolder& folder, const std::string& publicKey) {
    std::string version;
    if (!readFile(folder.readyFile(), version)) return {};
    while (!version.empty() &&
           (version.back() == '\r' || version.back() == '\n' || version.back() == ' ')) {
        version.pop_back();
    }
    // The text becomes part of file names below, so only a plain version is taken.
    if (!isPlainVersion(version) || compareVersions(version, kCurrentVersion) <= 0) return {};
    std::string signature;
    if (!readFile(folder.signatureFile(version), signature) ||
        !verifyBuild(folder.buildFile(version), signature, publicKey)) {
        logLine("update: %s no longer matches its signature; throwing it away", version.c_str());
        deleteFile(folder.readyFile());
        return {};
    }
    return version;
}

}  // namespace tov
