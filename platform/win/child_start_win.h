// Starting a hidden child, shared by the Win32 process helpers.
#pragma once

#include <windows.h>

#include <string>

namespace tov {

// Starts a child with no console window whose standard output and error are `out` (may be null)
// and whose standard input is nothing; `flags` are added to the creation flags. `out` is made
// inheritable only for the moment of the start, under a lock that every start here takes, so a
// child started at the same time on another thread never inherits it (a stray copy would keep a
// pipe open after its writer ended). Fills `pi` on success.
bool startHiddenChild(const std::wstring& commandLine, HANDLE out, DWORD flags,
                      PROCESS_INFORMATION& pi);

}  // namespace tov
