#include "clipboard/copy_filters.h"

#include "clipboard/clip_limits.h"

namespace tov {

bool DuplicateFilter::pass(std::string_view data, uint64_t nowMs) {
    const bool repeat = data == lastSentData_ && nowMs - lastSentTime_ < kDuplicateWindowMs;
    lastSentData_.assign(data);
    lastSentTime_ = nowMs;
    return !repeat;
}

}  // namespace tov
