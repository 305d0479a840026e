#include "platform/socket.h"

namespace tov {

RecvResult TcpSocket::receiveAll(void* buffer, size_t size) {
    auto* bytes = static_cast<char*>(buffer);
    size_t got = 0;
    while (got < size) {
        const RecvResult r = receive(bytes + got, size - got);
        if (r.status != RecvStatus::Data) return {r.status, got};
        got += r.bytes;
    }
    return {RecvStatus::Data, got};
}

}  // namespace tov
