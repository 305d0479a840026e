#include "core/adb_forward.h"

#include "core/log.h"
#include "platform/text.h"

namespace tov {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// A port number alone on its line, blanks around it allowed; 0 for anything else.
uint16_t portLine(std::string_view line) {
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
    if (line.empty() || line.size() > 5) return 0;
    uint32_t value = 0;
    for (const char c : line) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

// adb's answer for one log line: control characters shown as '?', at most 120 bytes.
std::string answerForLog(const std::string& output) {
    std::string text = output.substr(0, 120);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return text;
}

}  // namespace

std::wstring adbForwardArgs(uint16_t localPort, const std::string& remote) {
    return L"forward tcp:" + std::to_wstring(localPort) + L" " + widen(remote);
}

std::wstring adbForwardRemoveArgs(uint16_t localPort) {
    return L"forward --remove tcp:" + std::to_wstring(localPort);
}

uint16_t adbPrintedPort(std::string_view output) {
    uint16_t port = 0;
    while (!output.empty()) {
        const size_t end = output.find('\n');
        const uint16_t onLine = portLine(output.substr(0, end));
        if (onLine != 0) port = onLine;
        if (end == std::string_view::npos) break;
        output.remove_prefix(end + 1);
    }
    return port;
}

uint16_t AdbForward::open(const Run& run, const std::wstring& prefix, uint16_t localPort,
                          const std::string& remote) {
    if (port_ != 0) {
        const bool samePlace =
            prefix == prefix_ && remote == remote_ && (localPort == 0 || localPort == port_);
        // Renewed rather than trusted: a forward adb dropped (its phone left for a moment) would
        // leave the port to whoever takes it next, and the phone's data would go there.
        if (samePlace && run(prefix + adbForwardArgs(port_, remote), nullptr)) {
            failing_ = false;
            return port_;
        }
        // Another place, or a renewal that failed (the port may have gone to another program
        // while the phone was away): that forward goes, and a fresh one is made.
        remove(run);
    }
    return forwardAfresh(run, prefix, localPort, remote);
}

uint16_t AdbForward::forwardAfresh(const Run& run, const std::wstring& prefix, uint16_t localPort,
                                   const std::string& remote) {
    std::string output;
    if (!run(prefix + adbForwardArgs(localPort, remote), &output)) {
        failed(remote, "adb: " + answerForLog(output));
        return 0;
    }
    const uint16_t port = localPort != 0 ? localPort : adbPrintedPort(output);
    if (port == 0) {
        failed(remote, "no port in adb's answer \"" + answerForLog(output) + "\"");
        return 0;
    }
    port_ = port;
    prefix_ = prefix;
    remote_ = remote;
    failing_ = false;
    return port;
}

void AdbForward::remove(const Run& run) {
    if (port_ == 0) return;
    // A phone that is gone took its forwards with it; then this fails, and that is fine.
    run(prefix_ + adbForwardRemoveArgs(port_), nullptr);
    port_ = 0;
}

void AdbForward::failed(const std::string& remote, const std::string& why) {
    if (!failing_) {
        logLine("%s: cannot forward a local port to %s (%s); trying again", who_.c_str(),
                remote.c_str(), why.c_str());
    }
    failing_ = true;
}

}  // namespace tov
