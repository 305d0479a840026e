#include "phone/tests/sim_daemon.h"

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace tov::test {

SimDaemon::~SimDaemon() {
    stop();
}

std::wstring simAdb() {
    return siblingProgram(L"adb");
}

#ifdef _WIN32

namespace {

// The native daemon as Wine names it: the Unix root is drive Z:.
std::wstring nativeDaemonPath() {
    std::wstring path = L"Z:" + widen(TOV_NATIVE_PHONESIM);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

uint16_t freePort() {
    const auto listener = TcpListener::listenLoopback(0);
    return listener ? listener->port() : 0;
}

}  // namespace

bool SimDaemon::start(const std::string& scenario, std::string* error) {
    stop();
    const std::wstring daemon = nativeDaemonPath();
    if (!isFile(daemon)) {
        *error = "no native phone simulator at " + narrow(daemon) +
                 "; build the native tree first (scripts/build.sh native)";
        return false;
    }
    port_ = freePort();
    daemon_ = ChildProcess::start(L"\"" + daemon + L"\" serve --port " + std::to_wstring(port_));
    if (!daemon_ || port_ == 0) {
        *error = "could not start " + narrow(daemon);
        return false;
    }
    const uint64_t deadline = tickMs() + 20000;
    while (phonesim::controlCommand(port_, "list").exitCode != 0) {
        if (tickMs() > deadline) {
            *error = "the phone simulator did not answer";
            return false;
        }
        sleepMs(20);
    }
    setEnv(phonesim::kPortVariable, std::to_wstring(port_).c_str());
    for (const std::string& line : phonesim::lines(scenario)) {
        if (line.empty() || line[0] == '#') continue;
        if (!ok(line)) {
            *error = "scenario line refused: " + line;
            return false;
        }
    }
    return true;
}

void SimDaemon::stop() {
    if (!daemon_) return;
    phonesim::controlCommand(port_, "quit");
    if (!daemon_->wait(5000)) daemon_->terminate();
    daemon_.reset();
    setEnv(phonesim::kPortVariable, nullptr);
    port_ = 0;
}

std::string SimDaemon::ask(const std::string& line) const {
    const phonesim::LinkAnswer a = phonesim::controlCommand(port_, line);
    return a.exitCode == 0 ? a.output : std::string();
}

bool SimDaemon::ok(const std::string& line) const {
    return phonesim::controlCommand(port_, line).exitCode == 0;
}

#else

bool SimDaemon::start(const std::string& scenario, std::string* error) {
    return sim_.start(scenario, error);
}

void SimDaemon::stop() {
    sim_.stop();
}

std::string SimDaemon::ask(const std::string& line) const {
    return sim_.ask(line);
}

bool SimDaemon::ok(const std::string& line) const {
    return sim_.ok(line);
}

#endif

std::vector<std::string> SimDaemon::commands() const {
    std::vector<std::string> out;
    for (const std::string& line : phonesim::lines(ask("commands"))) {
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

}  // namespace tov::test
