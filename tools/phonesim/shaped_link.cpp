#include "tools/phonesim/shaped_link.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "platform/clock.h"

namespace tov::phonesim {
namespace {

// A Wi-Fi link sends in aggregates of a few milliseconds; the bucket holds that much, and at
// least one full-size frame so that a slow link still moves.
constexpr int64_t kBurstUs = 5000;
constexpr double kMinBurstBytes = 1500;
// A phone whose sends pile up this far gives up on the connection rather than hold more.
constexpr uint64_t kMaxBacklogBytes = 256ull << 20;

double burstBytes(const LinkShape& shape) {
    return std::max(kMinBurstBytes, static_cast<double>(shape.rateBps) * kBurstUs / 8e6);
}

}  // namespace

bool parseMbps(const std::string& text, int64_t& bitsPerSecond) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double mbps = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !(mbps > 0) || mbps > 100000) return false;
    bitsPerSecond = static_cast<int64_t>(mbps * 1e6 + 0.5);
    return bitsPerSecond > 0;
}

ShapedLink::~ShapedLink() {
    stop();
}

void ShapedLink::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (pump_.joinable()) pump_.join();
}

bool ShapedLink::send(std::string bytes) {
    std::unique_lock lock(mutex_);
    if (failed_ || stopping_) return false;
    if (!shape_.shaped() && waiting_.empty() && onTheWay_.empty() && !delivering_) {
        return deliverDirect(lock, bytes);
    }
    if (queuedBytes_ + bytes.size() > kMaxBacklogBytes) {
        fail();
        return false;
    }
    const int64_t now = nowMicros();
    queuedBytes_ += bytes.size();
    waiting_.push_back({std::move(bytes), now, 0});
    if (!pump_.joinable()) pump_ = std::thread([this] { pump(); });
    lock.unlock();
    wake_.notify_all();
    return true;
}

// The unshaped path: written by the caller, as a plain socket would be. The write lock is taken
// before the queue's lock is let go, so that a packet queued meanwhile cannot overtake it.
bool ShapedLink::deliverDirect(std::unique_lock<std::mutex>& lock, const std::string& bytes) {
    std::unique_lock write(writeMutex_);
    lock.unlock();
    const bool ok = socket_.sendAll(bytes.data(), bytes.size());
    write.unlock();
    lock.lock();
    if (!ok) {
        fail();
        return false;
    }
    deliveredBytes_ += bytes.size();
    return true;
}

void ShapedLink::fail() {
    failed_ = true;
    socket_.shutdown();
}

void ShapedLink::setShape(const LinkShape& shape) {
    {
        std::lock_guard lock(mutex_);
        const int64_t now = nowMicros();
        refill(now);
        if (!shape_.shaped() && shape.shaped()) tokens_ = burstBytes(shape);
        shape_ = shape;
        if (!shape_.shaped()) {
            // Freed: whatever waited goes now, and nothing more is delayed.
            for (Piece& p : onTheWay_) p.dueAt = now;
            for (Piece& p : waiting_) {
                p.dueAt = now;
                onTheWay_.push_back(std::move(p));
            }
            waiting_.clear();
        }
    }
    wake_.notify_all();
}

LinkBacklog ShapedLink::backlog() const {
    std::lock_guard lock(mutex_);
    LinkBacklog b;
    b.queuedBytes = queuedBytes_;
    b.deliveredBytes = deliveredBytes_;
    const Piece* oldest = !onTheWay_.empty() ? &onTheWay_.front()
                          : !waiting_.empty() ? &waiting_.front()
                                              : nullptr;
    if (oldest) b.oldestWaitUs = nowMicros() - oldest->queuedAt;
    return b;
}

void ShapedLink::refill(int64_t now) {
    if (shape_.shaped() && now > refilledAt_) {
        tokens_ += static_cast<double>(shape_.rateBps) * static_cast<double>(now - refilledAt_) / 8e6;
        // A packet bigger than the bucket still goes once the link has carried all of it.
        double cap = burstBytes(shape_);
        if (!waiting_.empty()) cap = std::max(cap, static_cast<double>(waiting_.front().bytes.size()));
        tokens_ = std::min(tokens_, cap);
    }
    refilledAt_ = now;
}

void ShapedLink::pump() {
    std::unique_lock lock(mutex_);
    while (!stopping_ && !failed_) {
        const int64_t now = nowMicros();
        refill(now);
        while (!waiting_.empty() &&
               (!shape_.shaped() ||
                tokens_ >= static_cast<double>(waiting_.front().bytes.size()))) {
            Piece p = std::move(waiting_.front());
            waiting_.pop_front();
            if (shape_.shaped()) tokens_ -= static_cast<double>(p.bytes.size());
            p.dueAt = now + (shape_.shaped() ? shape_.delayUs : 0);
            onTheWay_.push_back(std::move(p));
        }
        if (!onTheWay_.empty() && onTheWay_.front().dueAt <= now) {
            Piece p = std::move(onTheWay_.front());
            onTheWay_.pop_front();
            delivering_ = true;
            std::unique_lock write(writeMutex_);
            lock.unlock();
            const bool ok = socket_.sendAll(p.bytes.data(), p.bytes.size());
            write.unlock();
            lock.lock();
            delivering_ = false;
            queuedBytes_ -= p.bytes.size();
            if (!ok) {
                fail();
                return;
            }
            deliveredBytes_ += p.bytes.size();
            continue;
        }
        int64_t next = INT64_MAX;
        if (!waiting_.empty() && shape_.shaped()) {
            const double missing = static_cast<double>(waiting_.front().bytes.size()) - tokens_;
            next = now + std::max<int64_t>(1, static_cast<int64_t>(missing * 8e6 / shape_.rateBps));
        }
        if (!onTheWay_.empty()) next = std::min(next, onTheWay_.front().dueAt);
        if (next == INT64_MAX) {
            wake_.wait(lock);
        } else {
            wake_.wait_for(lock, std::chrono::microseconds(next - now));
        }
    }
}

}  // namespace tov::phonesim
