// What the input helper sends, read from its messages: screen size, the exact-mouse answer,
// pongs, and clipboard items put together from their chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "clipboard/clip_item.h"
#include "input/clip_collector.h"

namespace tov {

struct HelperReports {
    std::function<void(int32_t width, int32_t height)> screenSize;
    // 1 the phone took the exact mouse, 0 it refused.
    std::function<void(int32_t exact)> mouseState;
    // The clock value a ping carried, echoed.
    std::function<void(int64_t echoedMicros)> pong;
    std::function<void(ClipItem item)> clip;
};

class HelperInbox {
  public:
    explicit HelperInbox(HelperReports reports) : reports_(std::move(reports)) {}
    // One message of `type` whose payload passed the length limit. Unknown types are ignored.
    void onMessage(uint8_t type, const uint8_t* payload, size_t size);
    // A new connection: a half-collected clipboard item is dropped.
    void reset() { clip_.reset(); }

  private:
    HelperReports reports_;
    ClipCollector clip_;
};

}  // namespace tov
