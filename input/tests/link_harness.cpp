#include "input/tests/link_harness.h"

#include "core/log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov::test {

InputPhoneLink FakePhoneSide::link() {
    InputPhoneLink link;
    link.findAdb = [] { return std::wstring(L"adb"); };
    link.serialArgs = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return serialArgs_;
    };
    link.copyHelper = [this](const std::wstring&, const std::wstring& args) {
        ++copies_;
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(L"copy " + args);
        return copyWorks_.load();
    };
    link.runAdb = [this](const std::wstring&, const std::wstring& args, std::string*, uint32_t) {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(args);
        return forwardWorks_ || args.find(L" forward ") == std::wstring::npos;
    };
    link.startAdb = [this](const std::wstring&, const std::wstring& args) {
        ++starts_;
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.push_back(L"start " + args);
        alive_ = std::make_shared<std::atomic<bool>>(true);
        return std::unique_ptr<ChildProcess>(new FakeChild(alive_));
    };
    return link;
}

void FakePhoneSide::setSerialArgs(const std::wstring& args) {
    std::lock_guard<std::mutex> lock(mutex_);
    serialArgs_ = args;
}

void FakePhoneSide::killHelper() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (alive_) *alive_ = false;
}

bool FakePhoneSide::helperAlive() {
    std::lock_guard<std::mutex> lock(mutex_);
    return alive_ && *alive_;
}

std::vector<std::wstring> FakePhoneSide::commands() {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

InputLinkTimings fastTimings(uint16_t port) {
    InputLinkTimings t;
    t.port = port;
    t.adbRetryMs = 20;
    t.noPhoneRetryMs = 20;
    t.copyRetryMs = 20;
    t.helperStartMs = 10;
    t.connectRetryMs = 20;
    t.handshakeTimeoutMs = 2000;
    t.pingIntervalMicros = 1000000;
    return t;
}

namespace {

const std::wstring& logPath() {
    static const std::wstring path = [] {
        static TempDir dir;  // lives as long as the program: the log stays open
        ScopedEnv env(L"LOCALAPPDATA", dir.path());
        openLog();
        return programDataFile(L"tovenmar.log");
    }();
    return path;
}

std::string wholeLog() {
    std::string text;
    readFile(logPath(), text);
    return text;
}

}  // namespace

LogTap::LogTap() : start_(wholeLog().size()) {}

std::string LogTap::text() const {
    const std::string all = wholeLog();
    return all.size() > start_ ? all.substr(start_) : std::string();
}

int LogTap::count(const std::string& part) const {
    const std::string t = text();
    int n = 0;
    for (size_t at = t.find(part); at != std::string::npos; at = t.find(part, at + 1)) ++n;
    return n;
}

bool LogTap::waitForLine(const std::string& part, uint32_t timeoutMs) const {
    return eventually([&] { return text().find(part) != std::string::npos; }, timeoutMs);
}

}  // namespace tov::test
