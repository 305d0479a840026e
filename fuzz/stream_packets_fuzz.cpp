// The stream link as the PC reads it: arbitrary bytes, handed over in reads of arbitrary sizes,
// go through the packet reader and every packet it returns through the dispatcher. The reader
// must return each packet exactly as it stood in the byte stream, stop at an over-long length,
// count what it read, and the dispatcher must hand on only what the callbacks can use.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "session/packet_dispatch.h"
#include "session/packet_reader.h"

namespace {

// Serves the input in reads whose sizes come from a few leading bytes, then reports the end.
class BytesSocket : public tov::TcpSocket {
  public:
    BytesSocket(const uint8_t* data, size_t size, const uint8_t* sizes, size_t sizeCount)
        : data_(data), size_(size), sizes_(sizes), sizeCount_(sizeCount) {}

    bool setNoDelay(bool) override { return true; }
    bool setReceiveBufferSize(int) override { return true; }
    bool setReceiveTimeout(uint32_t) override { return true; }
    bool setSendTimeout(uint32_t) override { return true; }
    bool sendAll(const void*, size_t) override { return true; }
    void shutdown() override {}

    tov::RecvResult receive(void* buffer, size_t size) override {
        REQUIRE(size > 0);
        if (at_ == size_) return {tov::RecvStatus::Closed, 0};
        size_t chunk = size_ - at_;
        if (sizeCount_ > 0) chunk = std::min<size_t>(chunk, sizes_[reads_++ % sizeCount_] + 1);
        chunk = std::min(chunk, size);
        std::memcpy(buffer, data_ + at_, chunk);
        at_ += chunk;
        return {tov::RecvStatus::Data, chunk};
    }

  private:
    const uint8_t* data_;
    size_t size_;
    const uint8_t* sizes_;
    size_t sizeCount_;
    size_t at_ = 0;
    size_t reads_ = 0;
};

bool wellFormedMap(const std::map<std::string, std::string>& map) {
    for (const auto& [key, value] : map) {
        if (key.empty() || key.find_first_of("=\n") != std::string::npos) return false;
        if (value.find('\n') != std::string::npos) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte says how many of the next bytes shape the reads.
    if (size == 0) return 0;
    const size_t sizeCount = std::min<size_t>(data[0] % 8, size - 1);
    const uint8_t* sizes = data + 1;
    const uint8_t* stream = data + 1 + sizeCount;
    const size_t streamSize = size - 1 - sizeCount;

    tov::SessionCallbacks callbacks;
    size_t delivered = 0;
    callbacks.onHello = callbacks.onStreamState =
        callbacks.onInputState = [&](const std::map<std::string, std::string>& map) {
            REQUIRE(wellFormedMap(map));
            ++delivered;
        };
    const uint8_t* current = nullptr;
    size_t currentSize = 0;
    callbacks.onVideoConfig = [&](int width, int height, int fps, int codec, const uint8_t* csd,
                                  size_t csdSize) {
        REQUIRE(width >= 0 && height >= 0 && fps >= 0 && codec >= 0);
        REQUIRE(currentSize >= 8 && csd == current + 8 && csdSize == currentSize - 8);
        ++delivered;
    };
    callbacks.onVideoPacket = [&](const uint8_t* bytes, size_t n, int64_t, bool) {
        REQUIRE(bytes == current && n == currentSize);
        ++delivered;
    };
    callbacks.onAudioConfig = [&](int rate, int channels) {
        REQUIRE(rate >= 0 && channels >= 0 && currentSize >= 8);
        ++delivered;
    };
    callbacks.onAudioPacket = [&](const uint8_t* pcm, size_t n, int64_t) {
        REQUIRE(pcm == current && n == currentSize);
        ++delivered;
    };

    BytesSocket socket(stream, streamSize, sizes, sizeCount);
    // One reader for every input, as for every connection of a session: its buffer stays.
    static std::atomic<uint64_t> counted{0};
    static tov::PacketReader reader(&counted);
    reader.reset();
    counted = 0;
    tov::ClockSync clock;
    size_t offset = 0;
    size_t accepted = 0;
    tov::Packet packet;
    tov::ReceiveStatus status;
    while ((status = reader.receive(socket, packet)) == tov::ReceiveStatus::Ok) {
        // The packet is exactly the next slice of the stream.
        REQUIRE(offset + tov::kPacketHeaderSize + packet.size <= streamSize);
        const tov::PacketHeader header = tov::decodeHeader(stream + offset);
        REQUIRE(header.type == packet.header.type && header.flags == packet.header.flags);
        REQUIRE(header.length == packet.size && header.timestamp == packet.header.timestamp);
        REQUIRE(packet.size <= tov::kMaxPayloadSize);
        REQUIRE(packet.size == 0 ||
                std::memcmp(packet.payload, stream + offset + tov::kPacketHeaderSize,
                            packet.size) == 0);
        offset += tov::kPacketHeaderSize + packet.size;
        REQUIRE(counted.load() == offset);

        current = packet.payload;
        currentSize = packet.size;
        const size_t before = delivered;
        const bool used = tov::dispatch(packet, callbacks, clock, 1000000);
        const auto type = static_cast<tov::PacketType>(packet.header.type);
        if (type == tov::PacketType::Pong) {
            REQUIRE(used == (packet.size == 8));
        } else {
            REQUIRE(delivered == before + (used ? 1 : 0));
        }
        if (used) ++accepted;
        int64_t pc = 0;
        if (clock.synced()) clock.toPcTime(packet.header.timestamp, &pc);
    }
    REQUIRE(status == tov::ReceiveStatus::Closed || status == tov::ReceiveStatus::TooLong);
    if (status == tov::ReceiveStatus::TooLong) {
        // Only a length past the limit stops the reader while whole headers remain.
        REQUIRE(streamSize - offset >= tov::kPacketHeaderSize);
        REQUIRE(tov::decodeHeader(stream + offset).length > tov::kMaxPayloadSize);
    } else {
        // Closed: what is left is less than the next packet.
        const size_t left = streamSize - offset;
        REQUIRE(left < tov::kPacketHeaderSize ||
                left < tov::kPacketHeaderSize + tov::decodeHeader(stream + offset).length);
    }
    REQUIRE(counted.load() == offset);
    return 0;
}
