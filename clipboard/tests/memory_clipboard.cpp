#include "clipboard/tests/memory_clipboard.h"

#include <gtest/gtest.h>

namespace tov::test {

void MemoryClipboard::copy(std::map<ClipFormat, std::string> f) {
    formats = std::move(f);
    ++sequence_;
}

bool MemoryClipboard::open() {
    ++opens;
    if (busy || isOpen_) return false;
    isOpen_ = true;
    return true;
}

void MemoryClipboard::requireOpen() const {
    EXPECT_TRUE(isOpen_) << "clipboard used while closed";
}

bool MemoryClipboard::empty() {
    requireOpen();
    formats.clear();
    ++sequence_;
    return true;
}

bool MemoryClipboard::has(ClipFormat format) {
    requireOpen();
    return formats.count(format) != 0;
}

std::optional<std::string> MemoryClipboard::block(ClipFormat format, size_t maxBytes) {
    requireOpen();
    reads.insert(format);
    const auto it = formats.find(format);
    if (it == formats.end()) return std::nullopt;
    if (it->second.size() > maxBytes) return std::string();
    return it->second;
}

bool MemoryClipboard::put(ClipFormat format, std::string_view bytes) {
    requireOpen();
    if (refused.count(format)) return false;
    formats[format] = std::string(bytes);
    ++sequence_;
    return true;
}

}  // namespace tov::test
