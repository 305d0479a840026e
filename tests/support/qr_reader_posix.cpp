#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/qr_reader.h"

namespace tov::test {

bool runUnixShell(const std::string& script, std::string& output, int& exitCode) {
    RunResult r = runCommand(L"/bin/sh -c \"" + widen(script) + L"\"", &output, 120000);
    exitCode = static_cast<int>(r.exitCode);
    return r.started && r.exited;
}

std::string unixPathOf(const std::wstring& path) {
    return narrow(path);
}

}  // namespace tov::test
