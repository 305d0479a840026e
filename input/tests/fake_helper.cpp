#include "input/tests/fake_helper.h"

#include <chrono>

#include "input/input_messages.h"
#include "platform/clock.h"
#include "session/packet.h"

namespace tov::test {

FakeHelper::FakeHelper() : hello_("version=11\nwidth=1080\nheight=2400") {
    listener_ = TcpListener::listenLoopback(0);
    if (listener_) port_ = listener_->port();
    thread_ = std::thread([this] { serve(); });
}

FakeHelper::~FakeHelper() {
    stopping_ = true;
    if (listener_) listener_->close();
    dropConnection();
    thread_.join();
}

void FakeHelper::setHello(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    hello_ = text;
}

void FakeHelper::serve() {
    while (!stopping_ && listener_) {
        std::unique_ptr<TcpSocket> accepted = listener_->accept(100);
        if (!accepted) continue;
        std::shared_ptr<TcpSocket> socket(std::move(accepted));
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            current_ = socket;
        }
        std::string hello;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            hello = hello_;
        }
        ++connections_;
        changed_.notify_all();
        send(input_msg::kHello, hello);
        readFrom(*socket);
        std::lock_guard<std::mutex> lock(sendMutex_);
        if (current_ == socket) current_.reset();
    }
}

void FakeHelper::readFrom(TcpSocket& socket) {
    uint8_t header[kPacketHeaderSize];
    while (socket.receiveAll(header, sizeof(header)).status == RecvStatus::Data) {
        const PacketHeader h = decodeHeader(header);
        HelperMessage m;
        m.type = h.type;
        m.payload.resize(h.length);
        if (h.length > 0 &&
            socket.receiveAll(m.payload.data(), h.length).status != RecvStatus::Data)
            return;
        m.arrivedMicros = nowMicros();
        if (m.type == input_msg::kPing && answerPings_)
            send(input_msg::kPong, std::string(m.payload.begin(), m.payload.end()));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(std::move(m));
        }
        changed_.notify_all();
    }
}

std::vector<HelperMessage> FakeHelper::messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<HelperMessage> FakeHelper::messagesOfType(uint8_t type) {
    std::vector<HelperMessage> out;
    for (auto& m : messages())
        if (m.type == type) out.push_back(m);
    return out;
}

void FakeHelper::clearMessages() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
}

bool FakeHelper::waitFor(const std::function<bool(const std::vector<HelperMessage>&)>& done,
                         uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return done(messages_); });
}

bool FakeHelper::waitForConnections(int count, uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return connections_ >= count; });
}

bool FakeHelper::sendRaw(const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(sendMutex_);
    return current_ && current_->sendAll(bytes.data(), bytes.size());
}

bool FakeHelper::send(uint8_t type, const std::string& payload) {
    return sendRaw(frameMessage(type, payload.data(), payload.size()));
}

void FakeHelper::dropConnection() {
    std::lock_guard<std::mutex> lock(sendMutex_);
    if (current_) current_->shutdown();
}

}  // namespace tov::test
