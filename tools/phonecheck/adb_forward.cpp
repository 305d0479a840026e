#include "tools/phonecheck/adb_forward.h"

#include "core/adb_forward.h"
#include "platform/socket.h"

namespace tov::phonecheck {
namespace {

constexpr uint32_t kForwardTimeoutMs = 10000;

}  // namespace

bool AdbForward::open(const std::string& remote, std::string& error) {
    remove();
    std::string output;
    if (context_.adb(adbForwardArgs(0, remote), &output, kForwardTimeoutMs)) {
        port_ = adbPrintedPort(output);
        if (port_ != 0) return true;
    }
    // A port picked here may be taken by someone else before adb listens on it: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        uint16_t candidate = 0;
        if (auto listener = TcpListener::listenLoopback(0)) candidate = listener->port();
        if (candidate == 0) break;
        if (context_.adb(adbForwardArgs(candidate, remote), &output, kForwardTimeoutMs)) {
            port_ = candidate;
            return true;
        }
    }
    error = "adb forward to " + remote + " failed: " + oneLine(output);
    return false;
}

void AdbForward::remove() {
    if (port_ == 0) return;
    context_.adb(adbForwardRemoveArgs(port_), nullptr, kForwardTimeoutMs);
    port_ = 0;
}

}  // namespace tov::phonecheck
