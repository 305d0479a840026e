#include "phone/device_feed_parser.h"

#include "phone/output_text.h"

namespace tov {
namespace {

constexpr size_t kLengthDigits = 4;
// A notice longer than this without its line end is not one.
constexpr size_t kNoticeLimit = 4096;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool DeviceFeedParser::add(std::string_view bytes, std::vector<std::string>& lists) {
    if (!error_.empty()) return false;
    // A console in text mode turns each "\n" into "\r\n", but adb's lengths count the bare
    // "\n"; no list holds a "\r" of its own, so every one is dropped.
    for (char c : bytes) {
        if (c != '\r') pending_.push_back(c);
    }
    size_t at = 0;
    while (at < pending_.size()) {
        // adb's notices ("* daemon not running; starting now at tcp:5037") come as lines of
        // their own between lists.
        if (pending_[at] == '*') {
            const size_t end = pending_.find('\n', at);
            const size_t seen = (end == std::string::npos ? pending_.size() : end) - at;
            if (seen > kNoticeLimit) return fail(at);
            if (end == std::string::npos) break;
            at = end + 1;
            continue;
        }
        // A length is judged digit by digit, so that a bad one is known before all four came.
        size_t length = 0;
        size_t digits = 0;
        for (; digits < kLengthDigits && at + digits < pending_.size(); ++digits) {
            const int digit = hexValue(pending_[at + digits]);
            if (digit < 0) return fail(at);
            length = length * 16 + static_cast<size_t>(digit);
        }
        if (digits < kLengthDigits || pending_.size() - at - kLengthDigits < length) break;
        lists.push_back(pending_.substr(at + kLengthDigits, length));
        at += kLengthDigits + length;
    }
    pending_.erase(0, at);
    return true;
}

bool DeviceFeedParser::fail(size_t at) {
    error_ = "not a list length: \"" + logExcerpt(std::string_view(pending_).substr(at), 40) + "\"";
    pending_.clear();
    return false;
}

}  // namespace tov
