// A small stand-in for the phone's stream server: accepts one connection at a time, answers the
// options packet with a hello and pings with pongs, records everything it receives, and lets the
// test send anything at all.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace tov::test {

class FakePhone {
  public:
    enum class Hello { Normal, Empty, None, WrongType };

    FakePhone();
    ~FakePhone();
    FakePhone(const FakePhone&) = delete;
    FakePhone& operator=(const FakePhone&) = delete;

    bool listening() const { return listener_ != nullptr; }
    uint16_t port() const { return port_; }

    std::atomic<Hello> hello{Hello::Normal};
    std::string helloText = "device=Fake Phone";  // set before connections come
    std::atomic<bool> answerPings{true};
    // Writes a video packet in the same write as the hello.
    std::atomic<bool> videoWithHello{false};
    std::atomic<int64_t> clockOffsetUs{0};

    // On the current connection; false when there is none.
    bool sendRaw(const std::vector<uint8_t>& bytes);
    bool sendPacket(uint8_t type, const std::string& payload, uint8_t flags = 0, int64_t ts = 0);
    void dropConnection();

    // "connect", "packet <type>" for each packet read, "closed" when the PC closed or the
    // connection failed; in order, over every connection.
    std::vector<std::string> events() const;
    // Payloads of the received packets of one type, in order.
    std::vector<std::string> payloads(uint8_t type) const;
    int count(const std::string& event) const;
    bool connected() const;

  private:
    void acceptLoop();
    void serve(std::shared_ptr<TcpSocket> socket);
    void sendHello(const std::string& text);
    static std::vector<uint8_t> packetBytes(uint8_t type, const std::string& payload,
                                            uint8_t flags = 0, int64_t ts = 0);
    void record(const std::string& event, uint8_t type = 0, std::string payload = {});

    std::unique_ptr<TcpListener> listener_;
    uint16_t port_ = 0;
    std::atomic<bool> closing_{false};
    mutable std::mutex mutex_;
    std::shared_ptr<TcpSocket> current_;
    std::vector<std::string> events_;
    std::vector<std::pair<uint8_t, std::string>> packets_;
    std::mutex sendMutex_;
    std::thread thread_;
};

}  // namespace tov::test
