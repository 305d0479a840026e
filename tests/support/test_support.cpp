#include "tests/support/test_support.h"

#include <atomic>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tov::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::wstring candidate =
            joinPath(tempFolder(), L"tovtest-" + std::to_wstring(nowMicros()) + L"-" +
                                       std::to_wstring(counter++));
        if (!isDirectory(candidate) && createDirectory(candidate)) {
            path_ = candidate;
            return;
        }
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) removeTree(path_);
}

std::wstring TempDir::file(const std::wstring& name) const { return joinPath(path_, name); }

ScopedEnv::ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) {
    bool present = false;
    std::wstring old = getEnv(name, &present);
    if (present) old_ = old;
    setEnv(name, value);
}

ScopedEnv::~ScopedEnv() { setEnv(name_.c_str(), old_ ? old_->c_str() : nullptr); }

std::wstring siblingProgram(const wchar_t* name) {
    return exeFolder() + name + kExeSuffix;
}

std::string readTextFile(const std::wstring& path) {
    std::string bytes;
    if (!readFile(path, bytes)) return {};
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE) {
        return bytes;
    }
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return utf16ToUtf8(units);
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const uint64_t end = tickMs() + static_cast<uint64_t>(limit.count());
    while (!done()) {
        if (tickMs() >= end) return done();
        sleepMs(5);
    }
    return true;
}

}  // namespace tov::test
