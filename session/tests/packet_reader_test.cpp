// Reading packets off a real loopback connection.
#include "session/packet_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "socket_pair.h"

namespace tov {
namespace {

std::vector<uint8_t> rawPacket(uint8_t type, uint32_t length, uint8_t fill = 0x5A, int64_t ts = 0) {
    std::vector<uint8_t> out(kPacketHeaderSize + length, fill);
    PacketHeader h;
    h.type = type;
    h.length = length;
    h.timestamp = ts;
    encodeHeader(h, out.data());
    return out;
}

TEST(PacketReader, ReadsPacketsSentInPiecesAndCountsTheirBytes) {
    auto pair = test::SocketPair::open();
    ASSERT_TRUE(pair.ok());
    std::vector<uint8_t> wire = rawPacket(3, 5, 'v', 77);
    const std::vector<uint8_t> second = rawPacket(6, 0);
    wire.insert(wire.end(), second.begin(), second.end());
    // One byte at a time, so that header and payload arrive split.
    std::thread sender([&] {
        for (uint8_t b : wire) pair.phone->sendAll(&b, 1);
    });
    std::atomic<uint64_t> bytes{0};
    PacketReader reader(&bytes);
    Packet p;
    ASSERT_EQ(reader.receive(*pair.pc, p), ReceiveStatus::Ok);
    EXPECT_EQ(p.header.type, 3);
    EXPECT_EQ(p.header.timestamp, 77);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.payload), p.size), "vvvvv");
    ASSERT_EQ(reader.receive(*pair.pc, p), ReceiveStatus::Ok);
    EXPECT_EQ(p.header.type, 6);
    EXPECT_EQ(p.size, 0u);
    EXPECT_EQ(bytes.load(), 16u + 5 + 16);
    sender.join();
}

// docs/phone-app.md §Packet header
TEST(PacketReader, AcceptsExactly16MiBAndRefusesOneByteMore) {
    auto pair = test::SocketPair::open();
    ASSERT_TRUE(pair.ok());
    std::vector<uint8_t> largest = rawPacket(5, kMaxPayloadSize, 0x33);
    largest.back() = 0x44;
    const std::vector<uint8_t> tooLong = rawPacket(5, kMaxPayloadSize + 1);
    std::thread sender([&] {
        pair.phone->sendAll(largest.data(), largest.size());
        // Only the header of the over-long one: the reader must not wait for its payload.
        pair.phone->sendAll(tooLong.data(), kPacketHeaderSize);
    });
    std::atomic<uint64_t> bytes{0};
    PacketReader reader(&bytes);
    Packet p;
    ASSERT_EQ(reader.receive(*pair.pc, p), ReceiveStatus::Ok);
    EXPECT_EQ(p.size, kMaxPayloadSize);
    EXPECT_EQ(p.payload[0], 0x33);
    EXPECT_EQ(p.payload[p.size - 1], 0x44);
    EXPECT_EQ(reader.receive(*pair.pc, p), ReceiveStatus::TooLong);
    EXPECT_EQ(bytes.load(), 16u + kMaxPayloadSize);  // the refused packet is not counted
    sender.join();
}

TEST(PacketReader, ReportsHowTheConnectionEnded) {
    {
        auto pair = test::SocketPair::open();
        ASSERT_TRUE(pair.ok());
        const auto half = rawPacket(3, 100);
        pair.phone->sendAll(half.data(), 40);  // header and part of the payload, then gone
        pair.phone.reset();
        PacketReader reader;
        Packet p;
        EXPECT_EQ(reader.receive(*pair.pc, p), ReceiveStatus::Closed);
    }
    {
        auto pair = test::SocketPair::open();
        ASSERT_TRUE(pair.ok());
        pair.pc->setReceiveTimeout(100);
        const auto half = rawPacket(3, 100);
        pair.phone->sendAll(half.data(), 10);  // a stall inside the header
        PacketReader reader;
        Packet p;
        EXPECT_EQ(reader.receive(*pair.pc, p), ReceiveStatus::TimedOut);
    }
}

TEST(PacketReader, SteadyStreamAllocatesNothingOnceTheBufferHasGrown) {
    auto pair = test::SocketPair::open();
    ASSERT_TRUE(pair.ok());
    const std::vector<uint32_t> sizes = {3000, 40000, 12, 0, 39999, 1500, 40000};
    std::vector<uint8_t> wire;
    for (int round = 0; round < 50; ++round) {
        for (uint32_t n : sizes) {
            const auto p = rawPacket(3, n);
            wire.insert(wire.end(), p.begin(), p.end());
        }
    }
    std::thread sender([&] { pair.phone->sendAll(wire.data(), wire.size()); });
    PacketReader reader;
    Packet p;
    // The first round grows the buffer to the largest packet.
    for (size_t i = 0; i < sizes.size(); ++i)
        ASSERT_EQ(reader.receive(*pair.pc, p), ReceiveStatus::Ok);
    size_t packets = 0;
    size_t allocations = 0;
    {
        test::AllocationCount counting;
        for (; packets < 49 * sizes.size(); ++packets) {
            if (reader.receive(*pair.pc, p) != ReceiveStatus::Ok) break;
        }
        allocations = counting.count();
    }
    sender.join();
    EXPECT_EQ(packets, 49 * sizes.size());
    EXPECT_EQ(allocations, 0u);
}

}  // namespace
}  // namespace tov
