// A clipboard in memory that behaves as the rules expect of the Windows one: a sequence number
// that moves with every change, opening that can be made to fail, puts that can be refused.
#pragma once

#include <map>
#include <set>
#include <string>

#include "clipboard/clipboard_access.h"

namespace tov::test {

class MemoryClipboard : public ClipboardSystem {
  public:
    // Another program's copy: replaces everything.
    void copy(std::map<ClipFormat, std::string> formats);

    uint32_t sequenceNumber() override { return sequence_; }
    bool open() override;
    void close() override { isOpen_ = false; }
    bool empty() override;
    bool has(ClipFormat format) override;
    std::optional<std::string> block(ClipFormat format, size_t maxBytes) override;
    bool put(ClipFormat format, std::string_view bytes) override;

    std::map<ClipFormat, std::string> formats;
    bool busy = false;
    std::set<ClipFormat> refused;
    int opens = 0;
    std::multiset<ClipFormat> reads;

  private:
    void requireOpen() const;
    uint32_t sequence_ = 100;
    bool isOpen_ = false;
};

}  // namespace tov::test
