#include "record/recording_file.h"

#include "platform/files.h"

namespace tov {

RecordingFile::RecordingFile(const std::wstring& path, size_t maxQueuedBytes)
    : file_(openSharedFile(path, L"wb")), maxQueued_(maxQueuedBytes) {
    if (file_) thread_ = std::thread([this] { run(); });
}

RecordingFile::~RecordingFile() {
    close();
}

bool RecordingFile::ok() const {
    std::lock_guard<std::mutex> lock(lock_);
    return file_ && !failed_;
}

bool RecordingFile::write(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!file_ || failed_ || closing_) return false;
    if (queued_ + bytes.size() > maxQueued_) {
        failed_ = true;
        return false;
    }
    queue_.emplace_back(bytes);
    queued_ += bytes.size();
    wake_.notify_one();
    return true;
}

void RecordingFile::run() {
    std::unique_lock<std::mutex> lock(lock_);
    while (true) {
        wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;
        std::string piece = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        const bool written = std::fwrite(piece.data(), 1, piece.size(), file_) == piece.size() &&
                             std::fflush(file_) == 0;
        lock.lock();
        queued_ -= piece.size();
        if (!written) failed_ = true;
    }
}

bool RecordingFile::close() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!file_) return false;
        closing_ = true;
        wake_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(lock_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed && !failed_;
}

}  // namespace tov
