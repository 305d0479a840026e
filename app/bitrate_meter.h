// The stream rate the panel shows: bytes counted by the stream thread, turned into Mbit/s once a
// measuring window of at least a second has closed.
#pragma once

#include <cstdint>

namespace tov {

class BitrateMeter {
  public:
    // Adds the bytes taken since the last call; when the open window is older than 999 ms, closes
    // it, writes the rate into *mbps and starts a new window at nowMs. The first window (started
    // at 0) reports 0. Leaves *mbps alone while the window stays open.
    void add(uint64_t bytes, uint64_t nowMs, double* mbps);

  private:
    uint64_t bytes_ = 0;
    uint64_t windowStartMs_ = 0;
};

}  // namespace tov
