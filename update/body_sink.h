// Where the body of one GET goes: memory or a file. It enforces the limits that keep a bad or
// hostile server from filling the disk or memory or holding the updater: a size bound, a body
// that must be exactly as long as its Content-Length says, and an overall deadline.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace tov {

// Bounds for one body: builds go to a file, the feed and the signature to memory.
inline constexpr uint64_t kMaxBuildBytes = 512ull << 20;
inline constexpr uint64_t kMaxInMemoryBytes = 32ull << 20;

class BodySink {
  public:
    // Called after each chunk with the bytes so far and the Content-Length (0 when unknown).
    using Progress = std::function<void(uint64_t received, uint64_t length)>;
    // Asked before each chunk; false abandons the body (the program is stopping).
    using KeepGoing = std::function<bool()>;
    using Clock = std::chrono::steady_clock;

    BodySink(std::string& memory, uint64_t maxBytes);
    BodySink(const std::wstring& file, uint64_t maxBytes);
    ~BodySink();
    BodySink(const BodySink&) = delete;
    BodySink& operator=(const BodySink&) = delete;

    void setProgress(Progress progress) { progress_ = std::move(progress); }
    void setKeepGoing(KeepGoing keepGoing) { keepGoing_ = std::move(keepGoing); }
    // The whole GET, from the connection to the last byte, ends by then: the HTTP client gives
    // up waiting for the server, and a chunk that comes later is refused.
    void setDeadline(Clock::time_point deadline) { deadline_ = deadline; }
    std::optional<Clock::time_point> deadline() const { return deadline_; }
    bool pastDeadline() const { return deadline_ && Clock::now() >= *deadline_; }

    // Once the status is known to be 200. False when the announced length is over the bound or
    // the file cannot be opened (for writing, truncated, shared for reading and writing).
    bool begin(std::optional<uint64_t> contentLength);
    // False when the body grows past the bound or its Content-Length, a write fails, or the
    // caller gave up; the transfer is then abandoned.
    bool write(const void* data, size_t size);
    // True when the body is whole: no write error and, when a Content-Length came, exactly that
    // many bytes. Closes the file.
    bool finish();

    uint64_t received() const { return received_; }

  private:
    std::string* memory_ = nullptr;
    std::wstring filePath_;
    FILE* file_ = nullptr;
    uint64_t maxBytes_;
    std::optional<uint64_t> length_;
    uint64_t received_ = 0;
    bool failed_ = false;
    Progress progress_;
    KeepGoing keepGoing_;
    std::optional<Clock::time_point> deadline_;
};

}  // namespace tov
