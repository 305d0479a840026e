#include "video/frames_csv.h"

#include "platform/files.h"

namespace tov {

FramesCsv::~FramesCsv() {
    close();
}

void FramesCsv::restart(const std::wstring& path) {
    close();
    lines_ = 0;
    if (path.empty()) return;
    file_ = openSharedFile(path, L"w");
    if (file_) {
        std::fputs("pts_us,captured_us,arrived_us,decoded_us,shown_us,bytes,key,dequeued_us,"
                   "present_us,upload_us,draw_us\n",
                   file_);
    }
}

void FramesCsv::write(const FrameRecord& r) {
    if (!file_ || lines_ >= kMaxLines) return;
    std::fprintf(file_, "%lld,%lld,%lld,%lld,%lld,%zu,%d,%lld,%lld,%lld,%lld\n",
                 static_cast<long long>(r.pts), static_cast<long long>(r.captured),
                 static_cast<long long>(r.arrived), static_cast<long long>(r.decoded),
                 static_cast<long long>(r.shown), r.bytes, r.key ? 1 : 0,
                 static_cast<long long>(r.dequeued), static_cast<long long>(r.presenting),
                 static_cast<long long>(r.uploadMicros),
                 static_cast<long long>(r.drawMicros));
    if (++lines_ == kMaxLines) std::fflush(file_);
}

void FramesCsv::flush() {
    if (file_) std::fflush(file_);
}

void FramesCsv::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace tov
