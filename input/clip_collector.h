// Puts a phone clipboard item together from its header message and data chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "clipboard/clip_item.h"

namespace tov {

class ClipCollector {
  public:
    // Message 51: starts a new item (a half-collected one is dropped). Too short a payload is
    // ignored; an item over the size limit is not collected, so its chunks are ignored.
    void onHeader(const uint8_t* payload, size_t size);
    // Message 52: the next data, never beyond the announced total.
    void onChunk(const uint8_t* payload, size_t size);
    // The finished item, once every announced byte arrived (an empty item at once).
    std::optional<ClipItem> takeComplete();
    void reset() {
        collecting_ = false;
        item_ = {};
    }
    bool collecting() const { return collecting_; }

  private:
    bool collecting_ = false;
    uint32_t total_ = 0;
    ClipItem item_;
};

}  // namespace tov
