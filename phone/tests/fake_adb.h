// A scripted stand-in for runAdb: answers per argument text, records every call.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "phone/adb_runner.h"
#include "phone/device_feed.h"

namespace tov::test {

class FakeAdb {
  public:
    struct Answer {
        bool ok = true;
        std::string output;
    };

    // Answers for an exact argument text.
    void answer(const std::wstring& args, bool ok, const std::string& output);
    // Answers for every argument text that begins with `prefix` (exact answers win).
    void answerPrefix(const std::wstring& prefix, bool ok, const std::string& output);
    // Called inside each run before it answers (to block, count or change the script).
    std::function<void(const std::wstring& args)> onRun;

    AdbRunFunction runner();
    // The same answers for commands run with a watch (the watch is not asked).
    AdbWatchedRunFunction watchedRunner();
    std::vector<std::wstring> calls() const;
    std::vector<uint32_t> timeouts() const;
    int count(const std::wstring& args) const;
    int countPrefix(const std::wstring& prefix) const;
    void clearCalls();
    // Waits until `args` has been run at least n times; false when the wait ran out.
    bool waitForCalls(const std::wstring& args, int n, std::chrono::milliseconds limit);

  private:
    bool run(const std::wstring& args, std::string* output, uint32_t timeoutMs);
    int countLocked(const std::wstring& args) const;

    mutable std::mutex mutex_;
    std::condition_variable called_;
    std::map<std::wstring, Answer> exact_;
    std::vector<std::pair<std::wstring, Answer>> prefixes_;
    std::vector<std::wstring> calls_;
    std::vector<uint32_t> timeouts_;
};

// A scripted stand-in for adb's change feed: each start makes a new child, to which the test
// writes what adb would, or which it ends.
class FakeFeed {
  public:
    FakeFeed();
    DeviceFeed::StartFunction starter();
    // While refused, starts fail as when adb cannot run.
    void refuse(bool on);
    // Output of the child started last.
    void write(const std::string& bytes);
    // The child started last ends by itself with this exit code.
    void end(int exitCode);
    // One list as adb writes it: its length in four hex digits, then the lines.
    static std::string list(std::initializer_list<std::pair<const char*, const char*>> devices);
    // Waits until n children have started; false when the wait ran out.
    bool waitForStarts(int n, std::chrono::milliseconds limit);
    // Children that have been stopped by their owner.
    int stopped() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace tov::test
