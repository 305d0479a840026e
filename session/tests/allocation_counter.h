// Counts heap allocations made by one thread while counting is on. Linking allocation_counter.cpp
// replaces the global operator new of the whole program.
#pragma once

#include <cstddef>

namespace tov::test {

class AllocationCount {
  public:
    // Counting starts on the calling thread.
    AllocationCount();
    ~AllocationCount();
    size_t count() const;
};

}  // namespace tov::test
