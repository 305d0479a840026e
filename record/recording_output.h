// Where a recording's bytes end up: a file on the disk (or a stand-in in tests). Used from the
// recording's own writer thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tov {

class RecordingOutput {
  public:
    virtual ~RecordingOutput() = default;
    // Appends the bytes and hands them to the system: a crash of the program loses none of them.
    virtual bool append(std::string_view bytes) = 0;
    // Overwrites bytes already written; appending goes on at the end.
    virtual bool overwrite(uint64_t offset, std::string_view bytes) = 0;
    // Waits until the system has handed what is written to the disk.
    virtual bool flushToDisk() = 0;
    // Closes the file, keeping it (true when that succeeded) or deleting it.
    virtual bool close() = 0;
    virtual void discard() = 0;
};

// Creates (replaces) the file; null when it cannot be made.
std::unique_ptr<RecordingOutput> createRecordingFile(const std::wstring& path);

}  // namespace tov
