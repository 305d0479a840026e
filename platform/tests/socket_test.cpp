#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"
#include "platform/socket.h"

namespace tov {
namespace {

TEST(Socket, ConnectsSendsAndReceivesOverLoopback) {
    auto listener = TcpListener::listenLoopback(0);
    ASSERT_TRUE(listener);
    ASSERT_NE(listener->port(), 0);
    auto client = TcpSocket::connectLoopback(listener->port());
    ASSERT_TRUE(client);
    auto server = listener->accept(5000);
    ASSERT_TRUE(server);
    EXPECT_TRUE(client->setNoDelay(true));
    EXPECT_TRUE(client->setReceiveBufferSize(4 << 20));

    std::string big(3 << 20, 'x');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    std::thread sender([&] { EXPECT_TRUE(server->sendAll(big.data(), big.size())); });
    std::string got(big.size(), '\0');
    const RecvResult r = client->receiveAll(got.data(), got.size());
    sender.join();
    EXPECT_EQ(r.status, RecvStatus::Data);
    EXPECT_EQ(got, big);

    server.reset();  // closing one end is seen as an orderly close
    char byte;
    EXPECT_EQ(client->receive(&byte, 1).status, RecvStatus::Closed);
}

TEST(Socket, ConnectToAClosedPortFails) {
    uint16_t port;
    {
        auto listener = TcpListener::listenLoopback(0);
        ASSERT_TRUE(listener);
        port = listener->port();
    }
    EXPECT_FALSE(TcpSocket::connectLoopback(port));
}

TEST(Socket, ReceiveTimeoutIsReported) {
    auto listener = TcpListener::listenLoopback(0);
    ASSERT_TRUE(listener);
    auto client = TcpSocket::connectLoopback(listener->port());
    auto server = listener->accept(5000);
    ASSERT_TRUE(client && server);
    ASSERT_TRUE(client->setReceiveTimeout(200));
    char byte;
    EXPECT_EQ(client->receive(&byte, 1).status, RecvStatus::TimedOut);
}

TEST(Socket, SendTimeoutEndsASendThePeerNeverReads) {
    auto listener = TcpListener::listenLoopback(0);
    ASSERT_TRUE(listener);
    auto client = TcpSocket::connectLoopback(listener->port());
    auto server = listener->accept(5000);
    ASSERT_TRUE(client && server);
    ASSERT_TRUE(client->setSendTimeout(200));
    // Far more than both ends' buffers hold; without the time-out this would block for good.
    const std::string chunk(1 << 20, 'x');
    bool failed = false;
    for (int i = 0; i < 1024 && !failed; ++i) failed = !client->sendAll(chunk.data(), chunk.size());
    EXPECT_TRUE(failed);
}

TEST(Socket, ShutdownFromAnotherThreadWakesAReceive) {
    auto listener = TcpListener::listenLoopback(0);
    ASSERT_TRUE(listener);
    auto client = TcpSocket::connectLoopback(listener->port());
    auto server = listener->accept(5000);
    ASSERT_TRUE(client && server);
    RecvResult result;
    std::thread reader([&] {
        char byte;
        result = client->receive(&byte, 1);
    });
    sleepMs(100);
    client->shutdown();
    reader.join();
    EXPECT_NE(result.status, RecvStatus::Data);
}

TEST(Socket, AcceptTimesOutAndCloseWakesIt) {
    auto listener = TcpListener::listenLoopback(0);
    ASSERT_TRUE(listener);
    EXPECT_FALSE(listener->accept(150));
    std::thread closer([&] {
        sleepMs(100);
        listener->close();
    });
    const uint64_t start = tickMs();
    EXPECT_FALSE(listener->accept(0));
    closer.join();
    EXPECT_LT(tickMs() - start, 5000u);
}

TEST(Socket, SecondListenerOnTheSamePortFails) {
    auto first = TcpListener::listenLoopback(0);
    ASSERT_TRUE(first);
    EXPECT_FALSE(TcpListener::listenLoopback(first->port()));
}

}  // namespace
}  // namespace tov
