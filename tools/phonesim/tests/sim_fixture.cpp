#include "tools/phonesim/tests/sim_fixture.h"

#include "phone/adb_runner.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "session/packet.h"
#include "tests/support/test_support.h"

namespace tov::phonesim::test {

void SimTest::startSim(const std::string& scenario) {
    std::string error;
    ASSERT_TRUE(sim.start(scenario, &error)) << error;
}

AdbResult SimTest::adb(const std::string& args, uint32_t timeoutMs) {
    AdbResult r;
    r.ok = runAdb(tov::test::siblingProgram(L"adb"), widen(args), &r.output, timeoutMs);
    return r;
}

bool PacketClient::connect(uint16_t port) {
    socket_ = TcpSocket::connectLoopback(port);
    reader_.reset();
    if (socket_) socket_->setNoDelay(true);
    return socket_ != nullptr;
}

bool PacketClient::send(uint8_t type, const std::string& payload) {
    const std::vector<uint8_t> bytes =
        buildOutgoingPacket(static_cast<PacketType>(type), payload.data(), payload.size());
    return socket_ && socket_->sendAll(bytes.data(), bytes.size());
}

Received PacketClient::receive(uint32_t timeoutMs) {
    Received r;
    if (!socket_) return r;
    socket_->setReceiveTimeout(timeoutMs);
    Packet packet;
    if (reader_.receive(*socket_, packet) != ReceiveStatus::Ok) return r;
    r.ok = true;
    r.type = packet.header.type;
    r.flags = packet.header.flags;
    r.timestamp = packet.header.timestamp;
    r.payload.assign(reinterpret_cast<const char*>(packet.payload), packet.size);
    return r;
}

Received PacketClient::receiveType(uint8_t type, uint32_t timeoutMs) {
    const uint64_t end = tickMs() + timeoutMs;
    while (tickMs() < end) {
        Received r = receive(static_cast<uint32_t>(end - tickMs()) + 1);
        if (!r.ok || r.type == type) return r;
    }
    return {};
}

bool PacketClient::closedWithin(uint32_t timeoutMs) {
    const uint64_t end = tickMs() + timeoutMs;
    socket_->setReceiveTimeout(50);
    char buffer[65536];
    while (tickMs() < end) {
        const RecvResult r = socket_->receive(buffer, sizeof buffer);
        if (r.status == RecvStatus::Closed || r.status == RecvStatus::Failed) return true;
    }
    return false;
}

bool openStream(PacketClient& client, uint16_t port, const TextMap& options, TextMap* hello) {
    if (!client.connect(port)) return false;
    if (!client.send(7, writeTextMap(options))) return false;
    const Received r = client.receive(1500);
    if (!r.ok || r.type != 1) return false;
    if (hello) *hello = readTextMap(r.payload);
    return true;
}

uint16_t freePort() {
    auto listener = TcpListener::listenLoopback(0);
    return listener ? listener->port() : 0;
}

}  // namespace tov::phonesim::test
