// Helpers shared by the test programs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tov::test {

// A fresh, empty folder under the temporary folder, deleted with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    // path() + separator + name
    std::wstring file(const std::wstring& name) const;

private:
    std::wstring path_;
};

// Sets (or with null removes) an environment variable for the scope, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value);
    ScopedEnv(const wchar_t* name, const std::wstring& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

// A program built beside the test programs (name without the .exe suffix).
std::wstring siblingProgram(const wchar_t* name);

// A text file as UTF-8: one in UTF-16 with its byte-order mark (settings.ini on Windows) is
// decoded, anything else is returned as it is. Empty when it cannot be read.
std::string readTextFile(const std::wstring& path);

// Polls every few milliseconds until done() holds or the limit passes; true when it held.
bool waitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::seconds(20));
inline bool waitFor(const std::function<bool()>& done, uint32_t limitMs) {
    return waitFor(done, std::chrono::milliseconds(limitMs));
}

}  // namespace tov::test
