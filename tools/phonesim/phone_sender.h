// Whole packets from the phone side, with the flags and time stamps only the phone sets.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/socket.h"
#include "session/text_map.h"

namespace tov::phonesim {

class ShapedLink;

class PhoneSender {
  public:
    // With a link, every packet goes through its queue.
    explicit PhoneSender(TcpSocket& socket, ShapedLink* link = nullptr)
        : socket_(socket), link_(link) {}
    // False once the connection failed; the socket is then shut down.
    bool send(uint8_t type, const std::string& payload, uint8_t flags = 0, int64_t timestamp = 0);
    bool send(uint8_t type, const TextMap& map) { return send(type, writeTextMap(map)); }
    // Bytes exactly as given: for deliberately broken packets.
    bool sendRaw(const std::string& bytes);

  private:
    TcpSocket& socket_;
    ShapedLink* link_;
    std::mutex mutex_;
};

}  // namespace tov::phonesim
