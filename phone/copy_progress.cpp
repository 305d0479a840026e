#include "phone/copy_progress.h"

#include <algorithm>

#include "phone/output_text.h"

namespace tov {
namespace {

// Without a size to watch, a copy may take this long per MiB (a link of 128 KiB/s) and a minute.
constexpr uint64_t kBlindMsPerMiB = 8000;
constexpr uint64_t kBlindBaseMs = 60000;

}  // namespace

PhoneFileSize readPhoneFileSize(std::string_view output) {
    PhoneFileSize size;
    std::string_view text = output;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\n')) text.remove_prefix(1);
    if (!text.empty() && text.front() >= '0' && text.front() <= '9') {
        std::string_view rest = text;
        if (const auto n = readDecimal(rest); n && *n >= 0) {
            size.kind = PhoneFileSize::Kind::Bytes;
            size.bytes = *n;
            return size;
        }
    }
    if (contains(output, "No such file")) {
        size.kind = PhoneFileSize::Kind::NotThere;
    } else if ((contains(output, "device '") && contains(output, "' not found")) ||
               contains(output, "device offline") || contains(output, "no devices/emulators") ||
               contains(output, "device unauthorized")) {
        size.kind = PhoneFileSize::Kind::PhoneGone;
    } else if (contains(output, "stat: inaccessible or not found") ||
               contains(output, "stat: not found") || contains(output, "stat: Unknown option") ||
               contains(output, "stat: unknown option")) {
        size.kind = PhoneFileSize::Kind::CannotTell;
    }
    return size;
}

CopyProgress::CopyProgress(int64_t totalBytes, uint64_t startMs, CopyRules rules)
    : total_(std::max<int64_t>(totalBytes, 0)),
      start_(startMs),
      rules_(rules),
      lastGrowth_(startMs) {}

void CopyProgress::observe(uint64_t nowMs, const PhoneFileSize& size) {
    int64_t arrived = -1;
    if (size.kind == PhoneFileSize::Kind::Bytes) arrived = size.bytes;
    if (size.kind == PhoneFileSize::Kind::NotThere) arrived = 0;
    if (size.kind == PhoneFileSize::Kind::CannotTell) blind_ = true;
    if (arrived > arrived_) {
        // A file not there yet is no growth: the first bytes are.
        if (arrived > 0) lastGrowth_ = nowMs;
        arrived_ = arrived;
    }
}

bool CopyProgress::stalled(uint64_t nowMs) const {
    if (blind_) {
        const uint64_t mib = (static_cast<uint64_t>(total_) + (1u << 20) - 1) >> 20;
        return nowMs - start_ > kBlindBaseMs + mib * kBlindMsPerMiB;
    }
    return nowMs - lastGrowth_ > rules_.stallMs;
}

int CopyProgress::percent(uint64_t nowMs) const {
    if (blind_ || arrived_ < 0 || nowMs - start_ < rules_.showAfterMs) return -1;
    if (total_ == 0) return 99;
    const int64_t share = std::min(arrived_, total_) * 100 / total_;
    return static_cast<int>(std::min<int64_t>(share, 99));
}

}  // namespace tov
