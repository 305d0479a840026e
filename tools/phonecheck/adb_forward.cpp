#include "tools/phonecheck/adb_forward.h"

#include "phone/output_text.h"
#include "platform/socket.h"
#include "platform/text.h"

namespace tov::phonecheck {
namespace {

constexpr uint32_t kForwardTimeoutMs = 10000;

}  // namespace

uint16_t printedPort(const std::string& output) {
    const std::string text(trimTrailing(output));
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const unsigned long port = std::stoul(text);
    return port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : 0;
}

bool AdbForward::open(const std::string& remote, std::string& error) {
    remove();
    std::string output;
    if (context_.adb(L"forward tcp:0 " + widen(remote), &output, kForwardTimeoutMs)) {
        port_ = printedPort(output);
        if (port_ != 0) return true;
    }
    // A port picked here may be taken by someone else before adb listens on it: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        uint16_t candidate = 0;
        if (auto listener = TcpListener::listenLoopback(0)) candidate = listener->port();
        if (candidate == 0) break;
        if (context_.adb(L"forward tcp:" + std::to_wstring(candidate) + L" " + widen(remote),
                         &output, kForwardTimeoutMs)) {
            port_ = candidate;
            return true;
        }
    }
    error = "adb forward to " + remote + " failed: " + oneLine(output);
    return false;
}

void AdbForward::remove() {
    if (port_ == 0) return;
    context_.adb(L"forward --remove tcp:" + std::to_wstring(port_), nullptr, kForwardTimeoutMs);
    port_ = 0;
}

}  // namespace tov::phonecheck
