// A recording's file, written on a thread of its own so that a slow disk never holds up the
// stream thread. Each piece is flushed to the system once written, so a crash loses at most the
// pieces still queued.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tov {

class RecordingFile {
  public:
    // Opens (replaces) the file; check ok().
    RecordingFile(const std::wstring& path, size_t maxQueuedBytes);
    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    bool ok() const;
    // Queues the bytes; false when a write failed or the disk has fallen so far behind that
    // more than maxQueuedBytes wait.
    bool write(std::string_view bytes);
    // Writes what is queued, closes the file; true when every byte reached it.
    bool close();

  private:
    void run();

    FILE* file_ = nullptr;
    size_t maxQueued_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::string> queue_;
    size_t queued_ = 0;
    bool closing_ = false;
    bool failed_ = false;
    std::thread thread_;
};

}  // namespace tov
