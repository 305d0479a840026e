#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
thread_local bool tCounting = false;
std::atomic<size_t> gAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
    if (tCounting) gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

#if defined(__GNUC__) && !defined(__clang__)
// The replaced operator new above allocates with malloc, so free is the right match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace tov::test {

AllocationCount::AllocationCount() {
    gAllocations = 0;
    tCounting = true;
}

AllocationCount::~AllocationCount() {
    tCounting = false;
}

size_t AllocationCount::count() const {
    return gAllocations.load();
}

}  // namespace tov::test
