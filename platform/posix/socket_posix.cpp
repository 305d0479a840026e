#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "platform/socket.h"

namespace tov {

bool initSockets() { return true; }
void cleanupSockets() {}

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

class PosixSocket final : public TcpSocket {
public:
    explicit PosixSocket(int fd) : fd_(fd) {}
    ~PosixSocket() override { ::close(fd_); }
    bool setNoDelay(bool on) override {
        const int v = on ? 1 : 0;
        return setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v) == 0;
    }
    bool setReceiveBufferSize(int bytes) override {
        return setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
    }
    bool setReceiveTimeout(uint32_t ms) override {
        timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
        return setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
    }
    bool setSendTimeout(uint32_t ms) override {
        timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
        return setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
    }
    bool sendAll(const void* data, size_t size) override {
        const auto* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::send(fd_, p, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }
    RecvResult receive(void* buffer, size_t size) override {
        while (true) {
            const ssize_t n = ::recv(fd_, buffer, size, 0);
            if (n > 0) return {RecvStatus::Data, static_cast<size_t>(n)};
            if (n == 0) return {RecvStatus::Closed, 0};
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return {RecvStatus::TimedOut, 0};
            return {RecvStatus::Failed, 0};
        }
    }
    void shutdown() override { ::shutdown(fd_, SHUT_RDWR); }

private:
    int fd_;
};

class PosixListener final : public TcpListener {
public:
    PosixListener(int fd, uint16_t port) : fd_(fd), port_(port) {}
    ~PosixListener() override {
        close();
        ::close(fd_);
    }
    uint16_t port() const override { return port_; }
    std::unique_ptr<TcpSocket> accept(uint32_t timeoutMs) override {
        while (!closed_) {
            pollfd p{fd_, POLLIN, 0};
            // Short slices so that close() from another thread is seen promptly.
            const int slice = timeoutMs == 0 ? 100 : static_cast<int>(std::min<uint32_t>(timeoutMs, 100));
            const int r = poll(&p, 1, slice);
            if (r > 0 && (p.revents & POLLIN)) {
                const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
                if (c >= 0) return std::make_unique<PosixSocket>(c);
            }
            if (r < 0 && errno != EINTR) return nullptr;
            if (timeoutMs != 0) {
                timeoutMs -= static_cast<uint32_t>(slice);
                if (timeoutMs == 0) return nullptr;
            }
        }
        return nullptr;
    }
    void close() override {
        if (!closed_.exchange(true)) ::shutdown(fd_, SHUT_RDWR);
    }

private:
    int fd_;
    uint16_t port_;
    std::atomic<bool> closed_{false};
};

}  // namespace

std::unique_ptr<TcpSocket> TcpSocket::connectLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    const sockaddr_in addr = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixSocket>(fd);
}

std::unique_ptr<TcpListener> TcpListener::listenLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr = loopback(port);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixListener>(fd, ntohs(addr.sin_port));
}

}  // namespace tov
