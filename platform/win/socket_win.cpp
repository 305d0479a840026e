#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>

#include "platform/socket.h"

namespace tov {

bool initSockets() {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void cleanupSockets() { WSACleanup(); }

namespace {

// Sockets are inheritable by default on Windows: a child started while one is open (an adb
// server that lives on) would hold the connection open after the program closed it, and the
// phone would never see the end. Ours stay ours.
SOCKET ownSocket() {
    return WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

sockaddr_in loopback(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

// Event-driven socket: every wait also watches a cancel event, so shutdown() from another
// thread wakes a blocked receive or send at once (a plain shutdown does not, under Wine).
class WinSocket final : public TcpSocket {
public:
    explicit WinSocket(SOCKET s)
        : s_(s), netEvent_(WSACreateEvent()), cancel_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        WSAEventSelect(s_, netEvent_, FD_READ | FD_WRITE | FD_CLOSE);
    }
    ~WinSocket() override {
        closesocket(s_);
        WSACloseEvent(netEvent_);
        CloseHandle(cancel_);
    }
    bool setNoDelay(bool on) override {
        const BOOL v = on ? TRUE : FALSE;
        return setsockopt(s_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&v),
                          sizeof v) == 0;
    }
    bool setReceiveBufferSize(int bytes) override {
        return setsockopt(s_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                          sizeof bytes) == 0;
    }
    bool setReceiveTimeout(uint32_t ms) override {
        timeoutMs_ = ms;
        return true;
    }
    bool setSendTimeout(uint32_t ms) override {
        sendTimeoutMs_ = ms;
        return true;
    }
    bool sendAll(const void* data, size_t size) override {
        const auto* p = static_cast<const char*>(data);
        const ULONGLONG start = GetTickCount64();
        while (size > 0) {
            if (cancelled()) return false;
            const int chunk = static_cast<int>(std::min<size_t>(size, 1 << 30));
            const int n = ::send(s_, p, chunk, 0);
            if (n > 0) {
                p += n;
                size -= static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
                DWORD wait = INFINITE;
                if (sendTimeoutMs_ != 0) {
                    const ULONGLONG spent = GetTickCount64() - start;
                    if (spent >= sendTimeoutMs_) return false;
                    wait = static_cast<DWORD>(sendTimeoutMs_ - spent);
                }
                const Wait w = waitForEvent(wait);
                if (w == Wait::Cancelled || w == Wait::Failed) return false;
                continue;
            }
            return false;
        }
        return true;
    }
    RecvResult receive(void* buffer, size_t size) override {
        const ULONGLONG start = GetTickCount64();
        const int chunk = static_cast<int>(std::min<size_t>(size, 1 << 30));
        while (true) {
            if (cancelled()) return {RecvStatus::Closed, 0};
            const int n = ::recv(s_, static_cast<char*>(buffer), chunk, 0);
            if (n > 0) return {RecvStatus::Data, static_cast<size_t>(n)};
            if (n == 0) return {RecvStatus::Closed, 0};
            if (WSAGetLastError() != WSAEWOULDBLOCK) return {RecvStatus::Failed, 0};
            DWORD wait = INFINITE;
            if (timeoutMs_ != 0) {
                const ULONGLONG spent = GetTickCount64() - start;
                if (spent >= timeoutMs_) return {RecvStatus::TimedOut, 0};
                wait = static_cast<DWORD>(timeoutMs_ - spent);
            }
            const Wait w = waitForEvent(wait);
            if (w == Wait::Cancelled) return {RecvStatus::Closed, 0};
            if (w == Wait::Failed) return {RecvStatus::Failed, 0};
        }
    }
    void shutdown() override {
        ::shutdown(s_, SD_BOTH);
        SetEvent(cancel_);
    }

private:
    enum class Wait { Ready, TimedOut, Cancelled, Failed };
    bool cancelled() const { return WaitForSingleObject(cancel_, 0) == WAIT_OBJECT_0; }
    // Waits for network activity (which may still be a spurious wake-up) or the cancel event.
    Wait waitForEvent(DWORD ms) {
        HANDLE handles[2] = {cancel_, netEvent_};
        const DWORD r = WaitForMultipleObjects(2, handles, FALSE, ms);
        if (r == WAIT_OBJECT_0) return Wait::Cancelled;
        if (r == WAIT_TIMEOUT) return Wait::TimedOut;
        if (r != WAIT_OBJECT_0 + 1) return Wait::Failed;
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(s_, netEvent_, &events);  // resets the event
        return Wait::Ready;
    }

    SOCKET s_;
    WSAEVENT netEvent_;
    HANDLE cancel_;
    uint32_t timeoutMs_ = 0;
    uint32_t sendTimeoutMs_ = 0;
};

class WinListener final : public TcpListener {
public:
    WinListener(SOCKET s, uint16_t port) : s_(s), port_(port) {}
    ~WinListener() override {
        close();
        closesocket(s_);
    }
    uint16_t port() const override { return port_; }
    std::unique_ptr<TcpSocket> accept(uint32_t timeoutMs) override {
        while (!closed_) {
            // Short slices so that close() from another thread is seen promptly.
            const uint32_t slice = timeoutMs == 0 ? 100 : std::min<uint32_t>(timeoutMs, 100);
            fd_set set;
            FD_ZERO(&set);
            FD_SET(s_, &set);
            timeval tv{0, static_cast<long>(slice * 1000)};
            const int r = select(0, &set, nullptr, nullptr, &tv);
            if (r > 0 && !closed_) {
                const SOCKET c = ::accept(s_, nullptr, nullptr);
                if (c != INVALID_SOCKET) {
                    // Made from a listener that is not inheritable; said again all the same.
                    SetHandleInformation(reinterpret_cast<HANDLE>(c), HANDLE_FLAG_INHERIT, 0);
                    return std::make_unique<WinSocket>(c);
                }
            }
            if (r < 0) return nullptr;
            if (timeoutMs != 0) {
                timeoutMs -= slice;
                if (timeoutMs == 0) return nullptr;
            }
        }
        return nullptr;
    }
    void close() override { closed_ = true; }

private:
    SOCKET s_;
    uint16_t port_;
    std::atomic<bool> closed_{false};
};

}  // namespace

std::unique_ptr<TcpSocket> TcpSocket::connectLoopback(uint16_t port) {
    const SOCKET s = ownSocket();
    if (s == INVALID_SOCKET) return nullptr;
    const sockaddr_in addr = loopback(port);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        closesocket(s);
        return nullptr;
    }
    return std::make_unique<WinSocket>(s);
}

std::unique_ptr<TcpListener> TcpListener::listenLoopback(uint16_t port) {
    const SOCKET s = ownSocket();
    if (s == INVALID_SOCKET) return nullptr;
    // Exclusive, so that a second listener on the same port fails as it should.
    const BOOL one = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
    sockaddr_in addr = loopback(port);
    int len = sizeof addr;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(s, 16) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        closesocket(s);
        return nullptr;
    }
    return std::make_unique<WinListener>(s, ntohs(addr.sin_port));
}

}  // namespace tov
