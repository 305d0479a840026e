#include "update/body_sink.h"

#include <cinttypes>

#include "core/log.h"
#include "platform/files.h"

namespace tov {

BodySink::BodySink(std::string& memory, uint64_t maxBytes)
    : memory_(&memory), maxBytes_(maxBytes) {}

BodySink::BodySink(const std::wstring& file, uint64_t maxBytes)
    : filePath_(file), maxBytes_(maxBytes) {}

BodySink::~BodySink() {
    if (file_) std::fclose(file_);
}

bool BodySink::begin(std::optional<uint64_t> contentLength) {
    length_ = contentLength;
    received_ = 0;
    failed_ = false;
    if (length_ && *length_ > maxBytes_) {
        logLine("update: a download of %" PRIu64 " bytes is more than Tovenmar accepts", *length_);
        return false;
    }
    if (memory_) {
        memory_->clear();
        return true;
    }
    file_ = openSharedFile(filePath_, L"wb");
    return file_ != nullptr;
}

bool BodySink::write(const void* data, size_t size) {
    if (failed_) return false;
    if ((keepGoing_ && !keepGoing_()) || pastDeadline()) {
        failed_ = true;
        return false;
    }
    const uint64_t total = received_ + size;
    if (total > maxBytes_ || (length_ && total > *length_)) {
        logLine("update: the download went past %" PRIu64 " bytes; stopped",
                length_ ? *length_ : maxBytes_);
        failed_ = true;
        return false;
    }
    if (memory_) {
        memory_->append(static_cast<const char*>(data), size);
    } else if (!file_ || std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
        return false;
    }
    received_ = total;
    if (progress_) progress_(received_, length_.value_or(0));
    return true;
}

bool BodySink::finish() {
    if (file_) {
        if (std::fclose(file_) != 0) failed_ = true;
        file_ = nullptr;
    } else if (!memory_) {
        failed_ = true;  // begin() never opened the file
    }
    if (failed_) return false;
    if (length_ && received_ != *length_) {
        logLine("update: the download ended after %" PRIu64 " of %" PRIu64 " bytes", received_,
                *length_);
        return false;
    }
    return true;
}

}  // namespace tov
