// Stand-ins around an InputLink under test: the phone side's adb operations, and the log.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "input/input_link.h"
#include "input/tests/fake_helper.h"

namespace tov::test {

// Records every adb command; the helper "process" lives until terminated or killed by a test.
class FakePhoneSide {
  public:
    InputPhoneLink link();
    void setSerialArgs(const std::wstring& args);
    void setCopyWorks(bool works) { copyWorks_ = works; }
    // adb cannot forward the port (another program holds it).
    void setForwardWorks(bool works) { forwardWorks_ = works; }
    void killHelper();
    int helperStarts() const { return starts_; }
    int copies() const { return copies_; }
    std::vector<std::wstring> commands();
    bool helperAlive();

  private:
    std::mutex mutex_;
    std::wstring serialArgs_ = L"-s PHONE1 ";
    std::vector<std::wstring> commands_;
    std::shared_ptr<std::atomic<bool>> alive_;
    std::atomic<bool> copyWorks_{true};
    std::atomic<bool> forwardWorks_{true};
    std::atomic<int> starts_{0};
    std::atomic<int> copies_{0};
};

// Short waits, so that retries happen within a test's patience.
InputLinkTimings fastTimings(uint16_t port);

// The program's log, opened once in a private folder; each tap reads what came after it.
class LogTap {
  public:
    LogTap();
    std::string text() const;
    bool waitForLine(const std::string& part, uint32_t timeoutMs = 5000) const;
    int count(const std::string& part) const;

  private:
    size_t start_ = 0;
};

// Polls `done` every millisecond; false after timeoutMs.
template <typename F>
bool eventually(F done, uint32_t timeoutMs = 5000);

}  // namespace tov::test

#include "platform/clock.h"

template <typename F>
bool tov::test::eventually(F done, uint32_t timeoutMs) {
    const uint64_t end = tickMs() + timeoutMs;
    while (!done()) {
        if (tickMs() > end) return false;
        sleepMs(1);
    }
    return true;
}
