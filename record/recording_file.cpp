#include "record/recording_file.h"

namespace tov {
namespace {

// Pieces (about a second of recording each) between flushes to the disk.
constexpr int kPiecesPerDiskFlush = 5;

}  // namespace

RecordingFile::RecordingFile(std::unique_ptr<RecordingOutput> output, size_t maxQueuedBytes)
    : output_(std::move(output)), maxQueued_(maxQueuedBytes) {
    if (output_) thread_ = std::thread([this] { run(); });
}

RecordingFile::~RecordingFile() {
    if (!done_) finish({});
}

bool RecordingFile::ok() const {
    std::lock_guard<std::mutex> lock(lock_);
    return output_ && !failed_;
}

bool RecordingFile::write(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!output_ || failed_ || closing_) return false;
    if (queued_ + bytes.size() > maxQueued_) {
        failed_ = true;
        return false;
    }
    queue_.emplace_back(bytes);
    queued_ += bytes.size();
    wake_.notify_one();
    return true;
}

uint64_t RecordingFile::written() const {
    std::lock_guard<std::mutex> lock(lock_);
    return written_;
}

void RecordingFile::run() {
    int sinceFlush = 0;
    std::unique_lock<std::mutex> lock(lock_);
    while (true) {
        wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;
        std::string piece = std::move(queue_.front());
        queue_.pop_front();
        const bool skip = failed_;
        lock.unlock();
        bool stored = skip || output_->append(piece);
        if (!skip && stored && ++sinceFlush >= kPiecesPerDiskFlush) {
            sinceFlush = 0;
            stored = output_->flushToDisk();
        }
        lock.lock();
        queued_ -= piece.size();
        if (!stored) failed_ = true;
        if (!skip && stored) written_ += piece.size();
    }
}

bool RecordingFile::drain() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        closing_ = true;
        wake_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(lock_);
    done_ = true;
    return output_ && !failed_;
}

bool RecordingFile::finish(const std::vector<Mp4Patch>& patches) {
    if (done_ || !output_) return false;
    bool ok = drain();
    for (const Mp4Patch& p : patches) {
        ok = ok && output_->overwrite(p.offset, p.bytes);
    }
    ok = output_->flushToDisk() && ok;
    return output_->close() && ok;
}

void RecordingFile::discard() {
    if (done_ || !output_) return;
    {
        std::lock_guard<std::mutex> lock(lock_);
        failed_ = true;  // what is still queued is not written
    }
    drain();
    output_->discard();
}

}  // namespace tov
