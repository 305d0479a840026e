// What a child process gets of the program's handles (Windows only: there every handle made
// inheritable, for whatever purpose, goes to every child started with inheritance on).
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/process.h"
#include "tests/support/test_support.h"

namespace tov {
namespace {

// A pipe end the program made inheritable for some other child stays the program's alone: once
// it closes its copy, the pipe is broken, though a child started meanwhile still runs.
TEST(RunCommandWin, AChildGetsNoInheritableHandleItWasNotGiven) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    bool checked = false;
    BOOL peeked = TRUE;
    DWORD error = 0;
    const std::wstring child = L"\"" + test::siblingProgram(L"tov_test_child") + L"\" 0 600000 0";
    runCommand(child, nullptr, 600000, [&] {
        if (checked) return false;
        checked = true;
        CloseHandle(writeEnd);
        DWORD available = 0;
        peeked = PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr);
        error = GetLastError();
        return false;
    });
    CloseHandle(readEnd);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(peeked);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

}  // namespace
}  // namespace tov
