// frames.csv: one line per decoded packet of the current stream configuration, for timing work.
#pragma once

#include <cstdio>
#include <string>

#include "video/video_item.h"

namespace tov {

class FramesCsv {
  public:
    static constexpr int kMaxLines = 20000;

    FramesCsv() = default;
    ~FramesCsv();
    FramesCsv(const FramesCsv&) = delete;
    FramesCsv& operator=(const FramesCsv&) = delete;

    // Closes any open file, then truncates `path` and writes the header. An empty path, or a file
    // that cannot be opened, leaves the writer closed: lines are then not written.
    void restart(const std::wstring& path);
    // Writes one line while the file holds fewer than kMaxLines; the last one is flushed.
    void write(const FrameRecord& r);
    void flush();
    void close();
    bool isOpen() const { return file_ != nullptr; }

  private:
    FILE* file_ = nullptr;
    int lines_ = 0;
};

}  // namespace tov
