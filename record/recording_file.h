// A recording's file, written on a thread of its own so that a slow disk never holds up the
// stream thread. Each piece is handed to the system once written, so a crash of the program
// loses only the pieces still queued (and what the writer had not yet cut into a fragment). A
// power cut can also lose what the system has not yet put on the disk: the file is flushed to
// the disk every few pieces (about every five seconds of a recording) and when it is finished,
// so a power cut loses about that much more at most, unless the disk's own volatile write cache
// holds more.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "record/mp4_writer.h"
#include "record/recording_output.h"

namespace tov {

class RecordingFile {
  public:
    RecordingFile(std::unique_ptr<RecordingOutput> output, size_t maxQueuedBytes);
    // Finishes the file if finish() or discard() was not called.
    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    bool ok() const;
    // Queues the bytes; false when a write failed or the disk has fallen so far behind that
    // more than maxQueuedBytes wait.
    bool write(std::string_view bytes);
    // Writes what is queued, then the patches, flushes it all to the disk and closes the file;
    // true when every byte reached it. Waits for the disk: never call it where that hurts.
    bool finish(const std::vector<Mp4Patch>& patches);
    // Stops writing and deletes the file.
    void discard();
    // Bytes that reached the file so far.
    uint64_t written() const;

  private:
    void run();
    // Ends the writer thread once the queue is empty; true when nothing failed.
    bool drain();

    std::unique_ptr<RecordingOutput> output_;
    size_t maxQueued_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::string> queue_;
    size_t queued_ = 0;
    uint64_t written_ = 0;
    bool closing_ = false;
    bool failed_ = false;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace tov
