// The two rules that keep copies from bouncing: the program's own write is not read back, and
// the same data copied again within 1500 ms is sent once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tov {

class OwnWriteMark {
  public:
    // The clipboard sequence number right after the program's own write.
    void remember(uint32_t sequence) { lastWrittenSequence_ = sequence; }
    // The clipboard still holds that write.
    bool stillOwn(uint32_t sequence) const { return lastWrittenSequence_ == sequence; }

  private:
    // Unset until the first write, so that no sequence number is taken for the program's own.
    std::optional<uint32_t> lastWrittenSequence_;
};

class DuplicateFilter {
  public:
    // False for the same bytes as the previous copy less than 1500 ms ago. Every call becomes
    // the previous copy, so repeats in quick succession keep being held back.
    bool pass(std::string_view data, uint64_t nowMs);

  private:
    std::string lastSentData_;
    uint64_t lastSentTime_ = 0;
};

}  // namespace tov
