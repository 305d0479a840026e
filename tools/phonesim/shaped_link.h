// The phone's end of a slow link: what it sends waits in a queue that drains at the link's rate
// (a token bucket) and reaches the PC a fixed one-way delay later, so that a sender faster than
// the link builds delay as on a congested Wi-Fi. Every packet of the connection waits in the same
// queue, pongs and reports too. While the link is not shaped, bytes go out at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/socket.h"

namespace tov::phonesim {

struct LinkShape {
    int64_t rateBps = 0;  // 0: not shaped
    int64_t delayUs = 0;  // one way, phone to PC
    bool shaped() const { return rateBps > 0; }
};

struct LinkBacklog {
    uint64_t queuedBytes = 0;  // sent by the phone, not yet at the PC
    int64_t oldestWaitUs = 0;  // how long the oldest of those bytes have waited
    uint64_t deliveredBytes = 0;
};

// "8" or "0.5" (Mbit/s) → bits per second; false for anything else.
bool parseMbps(const std::string& text, int64_t& bitsPerSecond);

class ShapedLink {
  public:
    explicit ShapedLink(TcpSocket& socket) : socket_(socket) {}
    ~ShapedLink();
    ShapedLink(const ShapedLink&) = delete;
    ShapedLink& operator=(const ShapedLink&) = delete;

    // Queues whole packets in order. False once the connection failed or the backlog grew past
    // what a phone would hold; the socket is then shut down.
    bool send(std::string bytes);
    // Takes effect at once; a freed link delivers everything still waiting.
    void setShape(const LinkShape& shape);
    LinkBacklog backlog() const;
    // Ends the queue's thread; what still waits is dropped with the connection. Called before
    // the socket goes.
    void stop();

  private:
    struct Piece {
        std::string bytes;
        int64_t queuedAt = 0;
        int64_t dueAt = 0;  // when it reaches the PC, once the rate let it go
    };

    void pump();
    void refill(int64_t now);
    bool deliverDirect(std::unique_lock<std::mutex>& lock, const std::string& bytes);
    void fail();

    TcpSocket& socket_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::mutex writeMutex_;  // keeps packets whole on the socket; taken after mutex_
    LinkShape shape_;
    double tokens_ = 0;  // bytes the rate allows now
    int64_t refilledAt_ = 0;
    std::deque<Piece> waiting_;   // held back by the rate
    std::deque<Piece> onTheWay_;  // let go, arriving after the delay
    uint64_t queuedBytes_ = 0;
    uint64_t deliveredBytes_ = 0;
    bool delivering_ = false;  // the pump writes a piece outside the lock
    bool failed_ = false;
    bool stopping_ = false;
    std::thread pump_;  // started by the first packet that has to wait
};

}  // namespace tov::phonesim
