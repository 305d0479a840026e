#include "session/stream_socket.h"

namespace tov {

void StreamSocket::set(std::shared_ptr<TcpSocket> socket) {
    std::lock_guard<std::mutex> sending(sendMutex_);
    std::lock_guard<std::mutex> lock(socketMutex_);
    socket_ = std::move(socket);
    ended_ = false;
}

void StreamSocket::close() {
    std::shared_ptr<TcpSocket> old;
    {
        std::lock_guard<std::mutex> lock(socketMutex_);
        old.swap(socket_);
    }
    if (old) old->shutdown();
}

void StreamSocket::shutdown() {
    std::lock_guard<std::mutex> lock(socketMutex_);
    if (socket_) socket_->shutdown();
}

std::shared_ptr<TcpSocket> StreamSocket::get() const {
    std::lock_guard<std::mutex> lock(socketMutex_);
    return socket_;
}

bool StreamSocket::sendLast(PacketType type) {
    std::lock_guard<std::mutex> lock(sendMutex_);
    const bool sent = sendLocked(buildOutgoingPacket(type, nullptr, 0));
    ended_ = true;
    return sent;
}

bool StreamSocket::send(PacketType type, const void* payload, size_t size) {
    if (size > kMaxPayloadSize) return false;
    const std::vector<uint8_t> packet = buildOutgoingPacket(type, payload, size);
    std::lock_guard<std::mutex> lock(sendMutex_);
    return !ended_ && sendLocked(packet);
}

bool StreamSocket::sendLocked(const std::vector<uint8_t>& packet) {
    const std::shared_ptr<TcpSocket> socket = get();
    if (!socket) return false;
    if (socket->sendAll(packet.data(), packet.size())) return true;
    // Part of the packet may be out: nothing after it could be framed right any more.
    socket->shutdown();
    return false;
}

bool StreamSocket::send(PacketType type, const TextMap& map) {
    const std::string text = writeTextMap(map);
    return send(type, text.data(), text.size());
}

}  // namespace tov
