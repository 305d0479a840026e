#include "record/recording_output.h"

#include <cstdio>

#include "platform/files.h"

namespace tov {
namespace {

class DiskOutput : public RecordingOutput {
  public:
    DiskOutput(std::wstring path, FILE* file) : path_(std::move(path)), file_(file) {}
    ~DiskOutput() override {
        if (file_) std::fclose(file_);
    }

    bool append(std::string_view bytes) override {
        return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
               std::fflush(file_) == 0;
    }
    bool overwrite(uint64_t offset, std::string_view bytes) override {
        const bool ok = std::fflush(file_) == 0 && seekFile(file_, static_cast<int64_t>(offset)) &&
                        std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
        return std::fseek(file_, 0, SEEK_END) == 0 && ok;
    }
    bool flushToDisk() override { return tov::flushToDisk(file_); }
    bool close() override {
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return closed;
    }
    void discard() override {
        if (file_) std::fclose(file_);
        file_ = nullptr;
        deleteFile(path_);
    }

  private:
    std::wstring path_;
    FILE* file_;
};

}  // namespace

std::unique_ptr<RecordingOutput> createRecordingFile(const std::wstring& path) {
    FILE* file = openSharedFile(path, L"wb");
    if (!file) return nullptr;
    return std::make_unique<DiskOutput>(path, file);
}

}  // namespace tov
