// A stand-in for the phone's input helper on a loopback port: it greets with a hello of a chosen
// version, records every message it receives, answers pings, and sends what a test asks it to.
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

#include "platform/process.h"
#include "platform/socket.h"

namespace tov::test {

struct HelperMessage {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
    int64_t arrivedMicros = 0;
};

class FakeHelper {
  public:
    FakeHelper();
    ~FakeHelper();
    uint16_t port() const { return port_; }

    void setHello(const std::string& text);
    void setAnswerPings(bool on) { answerPings_ = on; }

    std::vector<HelperMessage> messages();
    std::vector<HelperMessage> messagesOfType(uint8_t type);
    void clearMessages();
    // Waits until `done` holds for the recorded messages; false after timeoutMs.
    bool waitFor(const std::function<bool(const std::vector<HelperMessage>&)>& done,
                 uint32_t timeoutMs = 5000);
    bool waitForConnections(int count, uint32_t timeoutMs = 5000);
    int connections() const { return connections_; }

    // Sends a message (header and payload) on the current connection.
    bool send(uint8_t type, const std::string& payload);
    bool sendRaw(const std::vector<uint8_t>& bytes);
    void dropConnection();

  private:
    void serve();
    void readFrom(TcpSocket& socket);

    std::unique_ptr<TcpListener> listener_;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> answerPings_{true};
    std::atomic<int> connections_{0};

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string hello_;
    std::vector<HelperMessage> messages_;
    std::mutex sendMutex_;
    std::shared_ptr<TcpSocket> current_;
};

// A helper process that lives until killed or until the test ends it.
class FakeChild : public ChildProcess {
  public:
    explicit FakeChild(std::shared_ptr<std::atomic<bool>> alive) : alive_(std::move(alive)) {}
    bool running() override { return *alive_; }
    bool wait(uint32_t) override { return !*alive_; }
    void terminate(unsigned) override { *alive_ = false; }
    int exitCode() override { return *alive_ ? -1 : 0; }

  private:
    std::shared_ptr<std::atomic<bool>> alive_;
};

}  // namespace tov::test
