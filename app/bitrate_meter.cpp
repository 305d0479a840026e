#include "app/bitrate_meter.h"

namespace tov {

void BitrateMeter::add(uint64_t bytes, uint64_t nowMs, double* mbps) {
    bytes_ += bytes;
    if (nowMs - windowStartMs_ <= 999) return;
    // The first window started at 0 (no earlier build), so its length means nothing.
    *mbps = windowStartMs_ == 0 ? 0.0
                                : static_cast<double>(bytes_) * 8.0 /
                                      static_cast<double>(nowMs - windowStartMs_) / 1000.0;
    bytes_ = 0;
    windowStartMs_ = nowMs;
}

}  // namespace tov
