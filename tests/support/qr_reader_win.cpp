// Under Wine a Unix program can be started with CreateProcess, but it gets neither the pipes nor
// a process handle to wait on: the shell writes its output and then its exit code to files, the
// exit code renamed into place only once it is done.
#include <windows.h>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/qr_reader.h"
#include "tests/support/test_support.h"

namespace tov::test {

std::string unixPathOf(const std::wstring& path) {
    using Convert = char*(CDECL*)(LPCWSTR);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto convert = kernel ? reinterpret_cast<Convert>(reinterpret_cast<void*>(
                                GetProcAddress(kernel, "wine_get_unix_file_name")))
                          : nullptr;
    if (!convert) return {};  // not under Wine
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 4) return {};
    char* converted = convert(full);
    if (!converted) return {};
    std::string out = converted;
    HeapFree(GetProcessHeap(), 0, converted);
    return out;
}

bool runUnixShell(const std::string& script, std::string& output, int& exitCode) {
    TempDir dir;
    const std::wstring outFile = dir.file(L"out"), codeFile = dir.file(L"code");
    const std::string out = unixPathOf(outFile), code = unixPathOf(codeFile);
    if (out.empty()) {
        output = "not running under Wine";
        return false;
    }
    const std::string wrapped = "(" + script + ") >'" + out + "' 2>&1; echo $? >'" + code +
                                ".part'; mv '" + code + ".part' '" + code + "'";
    std::wstring line = L"/bin/sh -c \"" + widen(wrapped) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
        output = "CreateProcess error " + std::to_string(GetLastError());
        return false;
    }
    // The handles Wine fills in for a Unix child are not real ones (seen: a null process and a
    // stray thread value); closing them could close something else, so they are left alone.
    if (!waitFor([&] { return isFile(codeFile); }, std::chrono::seconds(120))) {
        output = "the shell did not finish";
        return false;
    }
    std::string codeText;
    readFile(codeFile, codeText);
    readFile(outFile, output);
    exitCode = std::atoi(codeText.c_str());
    return true;
}

}  // namespace tov::test
