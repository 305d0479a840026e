#include "fake_phone.h"

#include <algorithm>

#include "platform/clock.h"
#include "session/packet.h"

namespace tov::test {

FakePhone::FakePhone() : listener_(TcpListener::listenLoopback(0)) {
    if (!listener_) return;
    port_ = listener_->port();
    thread_ = std::thread([this] { acceptLoop(); });
}

FakePhone::~FakePhone() {
    closing_ = true;
    if (listener_) listener_->close();
    dropConnection();
    if (thread_.joinable()) thread_.join();
}

void FakePhone::acceptLoop() {
    while (!closing_) {
        std::unique_ptr<TcpSocket> socket = listener_->accept(100);
        if (socket) serve(std::move(socket));
    }
}

void FakePhone::serve(std::shared_ptr<TcpSocket> socket) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        current_ = socket;
    }
    record("connect");
    bool first = true;
    std::vector<uint8_t> payload;
    while (true) {
        uint8_t head[kPacketHeaderSize];
        if (socket->receiveAll(head, sizeof head).status != RecvStatus::Data) break;
        const PacketHeader h = decodeHeader(head);
        payload.resize(h.length);
        if (h.length > 0 &&
            socket->receiveAll(payload.data(), h.length).status != RecvStatus::Data) {
            break;
        }
        record("packet " + std::to_string(h.type), h.type,
               std::string(payload.begin(), payload.end()));
        if (first && h.type == static_cast<uint8_t>(PacketType::Options)) {
            switch (hello.load()) {
                case Hello::Normal:
                    sendHello(helloText);
                    break;
                case Hello::Empty:
                    sendHello("");
                    break;
                case Hello::WrongType:
                    sendPacket(6, helloText);
                    break;
                case Hello::None:
                    break;
            }
        }
        first = false;
        if (h.type == static_cast<uint8_t>(PacketType::Ping) && answerPings && h.length == 8) {
            sendPacket(9, std::string(payload.begin(), payload.end()), 0,
                       nowMicros() + clockOffsetUs.load());
        }
    }
    record("closed");
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ == socket) current_.reset();
}

void FakePhone::record(const std::string& event, uint8_t type, std::string payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
    if (event.rfind("packet ", 0) == 0) packets_.emplace_back(type, std::move(payload));
}

bool FakePhone::sendRaw(const std::vector<uint8_t>& bytes) {
    std::shared_ptr<TcpSocket> socket;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        socket = current_;
    }
    std::lock_guard<std::mutex> lock(sendMutex_);
    return socket && socket->sendAll(bytes.data(), bytes.size());
}

std::vector<uint8_t> FakePhone::packetBytes(uint8_t type, const std::string& payload, uint8_t flags,
                                            int64_t ts) {
    std::vector<uint8_t> bytes(kPacketHeaderSize + payload.size());
    PacketHeader h;
    h.type = type;
    h.flags = flags;
    h.length = static_cast<uint32_t>(payload.size());
    h.timestamp = ts;
    encodeHeader(h, bytes.data());
    std::copy(payload.begin(), payload.end(), bytes.begin() + kPacketHeaderSize);
    return bytes;
}

bool FakePhone::sendPacket(uint8_t type, const std::string& payload, uint8_t flags, int64_t ts) {
    return sendRaw(packetBytes(type, payload, flags, ts));
}

void FakePhone::sendHello(const std::string& text) {
    std::vector<uint8_t> bytes = packetBytes(1, text);
    if (videoWithHello) {
        const std::vector<uint8_t> video = packetBytes(3, "early frame", kKeyFrameFlag);
        bytes.insert(bytes.end(), video.begin(), video.end());
    }
    sendRaw(bytes);
}

void FakePhone::dropConnection() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_) current_->shutdown();
}

std::vector<std::string> FakePhone::events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<std::string> FakePhone::payloads(uint8_t type) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [t, p] : packets_) {
        if (t == type) out.push_back(p);
    }
    return out;
}

int FakePhone::count(const std::string& event) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count(events_.begin(), events_.end(), event));
}

bool FakePhone::connected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_ != nullptr;
}

}  // namespace tov::test
