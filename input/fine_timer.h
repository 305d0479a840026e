// Timed waits of a couple of milliseconds: Windows rounds them up to its timer period (15.6 ms
// unless raised), which would pace mouse reports far below one per 2 ms. Held by a thread that
// needs such waits; elsewhere it does nothing.
#pragma once

namespace tov {

class FineTimerScope {
  public:
    FineTimerScope();
    ~FineTimerScope();
    FineTimerScope(const FineTimerScope&) = delete;
    FineTimerScope& operator=(const FineTimerScope&) = delete;

  private:
    [[maybe_unused]] bool raised_ = false;  // only Windows raises the period
};

}  // namespace tov
