// Helpers shared by the test programs.
#pragma once

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

}  // namespace tov::test
