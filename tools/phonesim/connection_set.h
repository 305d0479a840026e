// The open service connections (stream, input helper), so that an unplug, a dropped stream or
// the daemon's exit can cut them.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/socket.h"

namespace tov::phonesim {

enum class ServiceKind { AppStream, NoAppStream, InputHelper };

struct ConnectionInfo {
    std::string phoneId;
    std::string serial;  // the adb link it came through
    ServiceKind kind = ServiceKind::AppStream;
};

class ConnectionSet {
  public:
    // Registered for the guard's life.
    class Guard {
      public:
        Guard(ConnectionSet& set, TcpSocket* socket, ConnectionInfo info);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

      private:
        ConnectionSet& set_;
        TcpSocket* socket_;
    };

    // Shuts down every connection the predicate picks; returns how many.
    int cut(const std::function<bool(const ConnectionInfo&)>& pick);
    int count(const std::function<bool(const ConnectionInfo&)>& pick);

  private:
    struct Entry {
        TcpSocket* socket;
        ConnectionInfo info;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace tov::phonesim
