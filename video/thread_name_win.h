// Names the calling thread for debuggers and profilers (and, under Wine, for the system's own
// thread list), so that a per-thread CPU table tells the video threads apart.
#pragma once

namespace tov {

void nameThisThread(const wchar_t* name);

}  // namespace tov
