// How close the stream's receive-and-dispatch path comes to a bare receive loop on the same
// loopback connection. Both read the same kind of traffic, in alternating rounds, so that load
// from elsewhere on the machine falls on both alike.
//
//   session_receive_bench [megabytes per round] [rounds]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "session/packet_dispatch.h"
#include "session/packet_reader.h"
#include "session/stream_connection.h"

namespace tov {
namespace {

// One second of a typical stream: 60 video access units of 4 to 60 KB (a key frame of 200 KB
// first), 50 audio packets of 20 ms (48 kHz, two 16-bit channels), a pong.
std::vector<uint8_t> streamSecond() {
    std::vector<uint8_t> wire;
    auto add = [&](PacketType type, uint32_t size, uint8_t flags, int64_t ts) {
        const size_t at = wire.size();
        wire.resize(at + kPacketHeaderSize + size, static_cast<uint8_t>(size));
        PacketHeader h;
        h.type = static_cast<uint8_t>(type);
        h.flags = flags;
        h.length = size;
        h.timestamp = ts;
        encodeHeader(h, wire.data() + at);
    };
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % 56000u;
    };
    for (int i = 0; i < 60; ++i) {
        add(PacketType::Video, i == 0 ? 200000 : 4000 + next(), i == 0 ? kKeyFrameFlag : 0,
            i * 16667);
        if (i % 6 < 5) add(PacketType::Audio, 3840, 0, 0);
    }
    add(PacketType::Pong, 8, 0, 0);
    return wire;
}

struct Round {
    double seconds = 0;
    uint64_t bytes = 0;
    double megabytesPerSecond() const { return bytes / seconds / 1e6; }
};

Round bareRound(TcpSocket& socket, uint64_t volume, std::vector<uint8_t>& buffer) {
    Round r;
    const int64_t start = nowMicros();
    uint64_t sink = 0;
    while (r.bytes < volume) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(buffer.size(), volume - r.bytes));
        const RecvResult got = socket.receive(buffer.data(), want);
        if (got.status != RecvStatus::Data) break;
        sink += buffer[0];
        r.bytes += got.bytes;
    }
    r.seconds = (nowMicros() - start) / 1e6;
    if (sink == 1) std::puts("");  // keeps the reads from being optimised away
    return r;
}

Round dispatchRound(TcpSocket& socket, uint64_t volume, PacketReader& reader,
                    const SessionCallbacks& callbacks, ClockSync& clock) {
    Round r;
    const int64_t start = nowMicros();
    Packet packet;
    while (r.bytes < volume) {
        if (reader.receive(socket, packet) != ReceiveStatus::Ok) break;
        dispatch(packet, callbacks, clock, nowMicros());
        r.bytes += kPacketHeaderSize + packet.size;
    }
    r.seconds = (nowMicros() - start) / 1e6;
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int run(int argc, char** argv) {
    const uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    initSockets();

    auto listener = TcpListener::listenLoopback(0);
    std::unique_ptr<TcpSocket> pc =
        listener ? TcpSocket::connectLoopback(listener->port()) : nullptr;
    std::unique_ptr<TcpSocket> phone = pc ? listener->accept(5000) : nullptr;
    if (!phone) {
        std::fprintf(stderr, "could not open a loopback connection\n");
        return 1;
    }
    pc->setNoDelay(true);
    pc->setReceiveBufferSize(StreamConnection::kReceiveBufferSize);

    const std::vector<uint8_t> second = streamSecond();
    // Each round ends on a packet boundary, so the next may start with either reader.
    const uint64_t perRound =
        std::max<uint64_t>(1, megabytes * 1000000 / second.size()) * second.size();
    const uint64_t total = perRound * (2 * rounds + 1);
    std::thread sender([&] {
        for (uint64_t sent = 0; sent < total; sent += second.size()) {
            if (!phone->sendAll(second.data(), second.size())) return;
        }
    });

    uint64_t videoBytes = 0;
    SessionCallbacks callbacks;
    callbacks.onVideoPacket = [&](const uint8_t* d, size_t n, int64_t, bool) {
        videoBytes += n + d[0];
    };
    callbacks.onAudioPacket = [&](const uint8_t* d, size_t n, int64_t) { videoBytes += n + d[0]; };
    ClockSync clock;
    PacketReader reader;
    std::vector<uint8_t> bareBuffer(PacketReader::kMaxReadSize);

    // A warm-up round grows the reader's buffer to the largest packet.
    dispatchRound(*pc, perRound, reader, callbacks, clock);
    std::vector<double> bare, dispatched;
    size_t allocations = 0;
    for (int i = 0; i < rounds; ++i) {
        bare.push_back(bareRound(*pc, perRound, bareBuffer).megabytesPerSecond());
        Round r;
        {
            test::AllocationCount counting;
            r = dispatchRound(*pc, perRound, reader, callbacks, clock);
            allocations += counting.count();
        }
        dispatched.push_back(r.megabytesPerSecond());
    }
    sender.join();

    const double b = median(bare);
    const double d = median(dispatched);
    std::printf("stream receive, %d rounds of %.0f MB each (median):\n", rounds, perRound / 1e6);
    std::printf("  bare receive loop:      %8.1f MB/s\n", b);
    std::printf("  receive and dispatch:   %8.1f MB/s\n", d);
    std::printf("  ratio:                  %8.3f\n", d / b);
    std::printf("  allocations while dispatching after warm-up: %zu\n", allocations);
    cleanupSockets();
    return 0;
}

}  // namespace
}  // namespace tov

int main(int argc, char** argv) {
    return tov::run(argc, argv);
}
