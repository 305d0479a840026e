// TCP over the loopback address, the only network the program uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tov {

// WSAStartup / WSACleanup on Windows; nothing elsewhere.
bool initSockets();
void cleanupSockets();

enum class RecvStatus { Data, Closed, TimedOut, Failed };
struct RecvResult {
    RecvStatus status = RecvStatus::Failed;
    size_t bytes = 0;
};

class TcpSocket {
public:
    // Connects to 127.0.0.1:port; null when refused or failed.
    static std::unique_ptr<TcpSocket> connectLoopback(uint16_t port);
    virtual ~TcpSocket() = default;
    virtual bool setNoDelay(bool on) = 0;
    virtual bool setReceiveBufferSize(int bytes) = 0;
    // 0 means wait forever.
    virtual bool setReceiveTimeout(uint32_t ms) = 0;
    // 0 means wait forever. A send that times out may have written part of the data.
    virtual bool setSendTimeout(uint32_t ms) = 0;
    // Sends every byte; false when the connection failed.
    virtual bool sendAll(const void* data, size_t size) = 0;
    // One receive of at most `size` bytes.
    virtual RecvResult receive(void* buffer, size_t size) = 0;
    // Receives exactly `size` bytes unless the connection ends, fails or times out first.
    RecvResult receiveAll(void* buffer, size_t size);
    // Ends both directions; safe from another thread, and wakes a blocked receive there.
    virtual void shutdown() = 0;
};

class TcpListener {
public:
    // Listens on 127.0.0.1:port (0 picks a free port); null on failure.
    static std::unique_ptr<TcpListener> listenLoopback(uint16_t port);
    virtual ~TcpListener() = default;
    virtual uint16_t port() const = 0;
    // Waits up to timeoutMs (0: forever) for a connection; null on time-out or after close().
    virtual std::unique_ptr<TcpSocket> accept(uint32_t timeoutMs) = 0;
    // Stops listening; safe from another thread.
    virtual void close() = 0;
};

}  // namespace tov
