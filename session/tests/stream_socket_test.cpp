// Sending on the shared stream socket.
#include "session/stream_socket.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "session/packet_reader.h"
#include "socket_pair.h"

namespace tov {
namespace {

TEST(StreamSocket, PacketsFromManyThreadsArriveWhole) {
    auto pair = test::SocketPair::open();
    ASSERT_TRUE(pair.ok());
    StreamSocket socket;
    socket.set(std::move(pair.pc));
    constexpr int kThreads = 4;
    constexpr int kPackets = 200;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&socket, t] {
            // Each thread's packets are filled with its own byte and sized differently.
            const std::vector<uint8_t> payload(1000 + t * 7919, static_cast<uint8_t>('a' + t));
            for (int i = 0; i < kPackets; ++i) {
                socket.send(PacketType::Options, payload.data(), payload.size());
            }
        });
    }
    PacketReader reader;
    Packet p;
    int whole = 0;
    for (int i = 0; i < kThreads * kPackets; ++i) {
        ASSERT_EQ(reader.receive(*pair.phone, p), ReceiveStatus::Ok);
        const int t = p.payload[0] - 'a';
        ASSERT_TRUE(t >= 0 && t < kThreads);
        ASSERT_EQ(p.size, 1000u + t * 7919);
        bool same = true;
        for (size_t j = 0; j < p.size; ++j) same = same && p.payload[j] == p.payload[0];
        whole += same ? 1 : 0;
    }
    for (auto& s : senders) s.join();
    EXPECT_EQ(whole, kThreads * kPackets);
}

TEST(StreamSocket, SendingWithoutASocketOrOverTheLimitFails) {
    StreamSocket socket;
    EXPECT_FALSE(socket.send(PacketType::Stop, nullptr, 0));
    auto pair = test::SocketPair::open();
    ASSERT_TRUE(pair.ok());
    socket.set(std::move(pair.pc));
    const std::vector<uint8_t> huge(kMaxPayloadSize + 1);
    EXPECT_FALSE(socket.send(PacketType::Options, huge.data(), huge.size()));
    EXPECT_TRUE(socket.send(PacketType::Stop, nullptr, 0));
}

// A ping from the ping thread between Stop stream's stop and the shutdown reached the phone
// after the stop.
TEST(StreamSocket, NothingFollowsTheStopUntilTheNextConnection) {
    auto pair = test::SocketPair::open();
    ASSERT_TRUE(pair.ok());
    StreamSocket socket;
    socket.set(std::move(pair.pc));
    EXPECT_TRUE(socket.sendLast(PacketType::Stop));
    const uint8_t stamp[8] = {};
    EXPECT_FALSE(socket.send(PacketType::Ping, stamp, sizeof stamp));
    socket.close();
    PacketReader reader;
    Packet p;
    ASSERT_EQ(reader.receive(*pair.phone, p), ReceiveStatus::Ok);
    EXPECT_EQ(p.header.type, static_cast<uint8_t>(PacketType::Stop));
    EXPECT_NE(reader.receive(*pair.phone, p), ReceiveStatus::Ok);

    auto next = test::SocketPair::open();
    ASSERT_TRUE(next.ok());
    socket.set(std::move(next.pc));
    EXPECT_TRUE(socket.send(PacketType::Ping, stamp, sizeof stamp));
}

TEST(StreamSocket, APhoneThatStopsReadingCannotBlockASenderForGood) {
    auto pair = test::SocketPair::open();
    ASSERT_TRUE(pair.ok());
    pair.pc->setSendTimeout(200);
    StreamSocket socket;
    socket.set(std::move(pair.pc));
    const std::vector<uint8_t> chunk(kMaxPayloadSize);
    bool failed = false;
    for (int i = 0; i < 64 && !failed; ++i) {
        failed = !socket.send(PacketType::Options, chunk.data(), chunk.size());
    }
    ASSERT_TRUE(failed);
    // The half-sent packet leaves the connection unusable, so it is shut down: a receive on
    // it ends at once instead of waiting for data.
    const std::shared_ptr<TcpSocket> pc = socket.get();
    ASSERT_TRUE(pc);
    pc->setReceiveTimeout(5000);
    char byte;
    EXPECT_EQ(pc->receive(&byte, 1).status, RecvStatus::Closed);
}

}  // namespace
}  // namespace tov
