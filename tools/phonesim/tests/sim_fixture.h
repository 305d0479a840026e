// A running phone simulator for one test, with adb run the way Tovenmar runs it, and a plain
// packet client for the stream and input helper links.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/socket.h"
#include "session/packet_reader.h"
#include "tests/support/test_support.h"
#include "tools/phonesim/control_client.h"

namespace tov::phonesim::test {

struct AdbResult {
    bool ok = false;  // started, ended in time, exit code 0
    std::string output;
};

class SimTest : public ::testing::Test {
  protected:
    // Starts the daemon with the scenario; fails the test when it cannot.
    void startSim(const std::string& scenario);
    AdbResult adb(const std::string& args, uint32_t timeoutMs = 10000);
    void TearDown() override { sim.stop(); }

    PhoneSimulator sim;
};

struct Received {
    bool ok = false;
    uint8_t type = 0;
    uint8_t flags = 0;
    int64_t timestamp = 0;
    std::string payload;
};

class PacketClient {
  public:
    bool connect(uint16_t port);
    bool send(uint8_t type, const std::string& payload = {});
    // The next packet within the time limit.
    Received receive(uint32_t timeoutMs = 3000);
    // The next packet of this type, skipping others, within the time limit.
    Received receiveType(uint8_t type, uint32_t timeoutMs = 3000);
    // True when the phone side closes the connection within the time limit.
    bool closedWithin(uint32_t timeoutMs);
    TcpSocket* socket() { return socket_.get(); }

  private:
    std::unique_ptr<TcpSocket> socket_;
    PacketReader reader_;
};

// Options in, hello out: a stream connection through a forward on `port`.
bool openStream(PacketClient& client, uint16_t port, const TextMap& options,
                TextMap* hello = nullptr);

uint16_t freePort();

using tov::test::waitFor;

}  // namespace tov::phonesim::test
