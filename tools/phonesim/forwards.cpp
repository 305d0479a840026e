#include "tools/phonesim/forwards.h"

#include "tools/phonesim/daemon_link.h"

namespace tov::phonesim {

uint16_t parseTcpSpec(const std::string& target) {
    if (target.rfind("tcp:", 0) != 0) return 0;
    const std::string digits = target.substr(4);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return parsePort(digits);
}

Forwards::Forwards(Router router) : router_(std::move(router)) {}

Forwards::~Forwards() {
    removeAll();
}

uint16_t Forwards::add(uint16_t port, const std::string& serial, const std::string& remote,
                       std::string& error) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(port);
    if (port != 0 && it != entries_.end()) {
        it->second->serial = serial;
        it->second->remote = remote;
        return port;
    }
    std::unique_ptr<TcpListener> listener = TcpListener::listenLoopback(port);
    if (!listener) {
        error = "adb: error: cannot bind listener: Address already in use\n";
        return 0;
    }
    port = listener->port();
    auto entry = std::make_unique<Entry>();
    entry->serial = serial;
    entry->remote = remote;
    TcpListener* raw = listener.get();
    entry->listener = std::move(listener);
    entry->acceptThread = std::thread([this, port, raw] { acceptLoop(port, raw); });
    entries_[port] = std::move(entry);
    return port;
}

void Forwards::acceptLoop(uint16_t port, TcpListener* listener) {
    while (std::unique_ptr<TcpSocket> socket = listener->accept(0)) {
        std::string serial, remote;
        {
            std::lock_guard lock(mutex_);
            auto it = entries_.find(port);
            if (it == entries_.end() || it->second->listener.get() != listener) return;
            serial = it->second->serial;
            remote = it->second->remote;
        }
        // The phone side writes one packet per write; Nagle's wait for the PC's delayed ack
        // would hold small packets back and bunch the stream's arrivals, which neither a phone
        // nor adb does.
        socket->setNoDelay(true);
        router_(serial, remote, std::move(socket));
    }
}

void Forwards::close(std::vector<std::unique_ptr<Entry>>& entries) {
    for (auto& e : entries) e->listener->close();
    for (auto& e : entries) {
        if (e->acceptThread.joinable()) e->acceptThread.join();
    }
    entries.clear();
}

bool Forwards::remove(uint16_t port) {
    std::vector<std::unique_ptr<Entry>> taken;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(port);
        if (it == entries_.end()) return false;
        taken.push_back(std::move(it->second));
        entries_.erase(it);
    }
    close(taken);
    return true;
}

void Forwards::removeAll(const std::string& serial) {
    std::vector<std::unique_ptr<Entry>> taken;
    {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (serial.empty() || it->second->serial == serial) {
                taken.push_back(std::move(it->second));
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
    }
    close(taken);
}

std::vector<std::string> Forwards::list() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    for (const auto& [port, e] : entries_) {
        lines.push_back(e->serial + " tcp:" + std::to_string(port) + " " + e->remote);
    }
    return lines;
}

}  // namespace tov::phonesim
