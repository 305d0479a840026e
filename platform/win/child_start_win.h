// Starting a hidden child, shared by the Win32 process helpers.
#pragma once

#include <windows.h>

#include <string>

namespace tov {

// Starts a child with no console window whose standard output and error are `out` and whose
// standard input is `in` (either may be null: nothing); `flags` are added to the creation
// flags. The child inherits these handles and no other: every other handle of the program that
// is inheritable (a socket, a pipe made for another child at the same moment) stays ours, so a
// long-lived child such as an adb server never keeps a connection or a pipe open after the
// program closed its end. Fills `pi` on success.
bool startHiddenChild(const std::wstring& commandLine, HANDLE in, HANDLE out, DWORD flags,
                      PROCESS_INFORMATION& pi);

}  // namespace tov
