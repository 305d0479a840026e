#include "input/fine_timer.h"

namespace tov {

// POSIX timed waits are already fine-grained.
FineTimerScope::FineTimerScope() = default;
FineTimerScope::~FineTimerScope() = default;

}  // namespace tov
