#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>

#include "input/fine_timer.h"

namespace tov {

FineTimerScope::FineTimerScope() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimerScope::~FineTimerScope() {
    if (raised_) timeEndPeriod(1);
}

}  // namespace tov
