// adb's port forwards: a local port is listened on from `forward` until it is removed or its
// phone link goes away, and each connection is handed to the router with the forward's target.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace tov::phonesim {

class Forwards {
  public:
    // Called on the forward's accept thread; must not block for long.
    using Router = std::function<void(const std::string& serial, const std::string& remote,
                                      std::unique_ptr<TcpSocket> socket)>;
    explicit Forwards(Router router);
    ~Forwards();
    Forwards(const Forwards&) = delete;
    Forwards& operator=(const Forwards&) = delete;

    // Listens on 127.0.0.1:port (0: a free port of the system's choosing), or re-aims an
    // existing forward of that port. The port listened on; 0 with adb's error text when none
    // can be.
    uint16_t add(uint16_t port, const std::string& serial, const std::string& remote,
                 std::string& error);
    bool remove(uint16_t port);
    // Every forward (empty serial) or those of one link.
    void removeAll(const std::string& serial = {});
    // adb's "forward --list" lines: serial, "tcp:PORT", target.
    std::vector<std::string> list();

  private:
    struct Entry {
        std::string serial;
        std::string remote;
        std::unique_ptr<TcpListener> listener;
        std::thread acceptThread;
    };
    void acceptLoop(uint16_t port, TcpListener* listener);
    static void close(std::vector<std::unique_ptr<Entry>>& entries);

    Router router_;
    std::mutex mutex_;
    std::map<uint16_t, std::unique_ptr<Entry>> entries_;
};

// "tcp:27183" → 27183; 0 for anything that is not a usable local TCP port.
uint16_t parseTcpSpec(const std::string& target);

}  // namespace tov::phonesim
