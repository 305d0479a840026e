#include "phone/tests/fake_adb.h"

namespace tov::test {

void FakeAdb::answer(const std::wstring& args, bool ok, const std::string& output) {
    std::lock_guard lock(mutex_);
    exact_[args] = Answer{ok, output};
}

void FakeAdb::answerPrefix(const std::wstring& prefix, bool ok, const std::string& output) {
    std::lock_guard lock(mutex_);
    for (auto& [p, a] : prefixes_) {
        if (p == prefix) {
            a = Answer{ok, output};
            return;
        }
    }
    prefixes_.emplace_back(prefix, Answer{ok, output});
}

AdbRunFunction FakeAdb::runner() {
    return [this](const std::wstring&, const std::wstring& args, std::string* output,
                  uint32_t timeoutMs) { return run(args, output, timeoutMs); };
}

AdbWatchedRunFunction FakeAdb::watchedRunner() {
    return [this](const std::wstring&, const std::wstring& args, std::string* output,
                  const std::function<bool()>&) { return run(args, output, 0); };
}

bool FakeAdb::run(const std::wstring& args, std::string* output, uint32_t timeoutMs) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(args);
        timeouts_.push_back(timeoutMs);
    }
    called_.notify_all();
    if (onRun) onRun(args);
    Answer a{false, "error: unscripted command"};
    {
        std::lock_guard lock(mutex_);
        const auto it = exact_.find(args);
        if (it != exact_.end()) {
            a = it->second;
        } else {
            for (const auto& [p, answer] : prefixes_) {
                if (args.compare(0, p.size(), p) == 0) {
                    a = answer;
                    break;
                }
            }
        }
    }
    if (output) *output = a.output;
    return a.ok;
}

std::vector<std::wstring> FakeAdb::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<uint32_t> FakeAdb::timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

int FakeAdb::count(const std::wstring& args) const {
    std::lock_guard lock(mutex_);
    return countLocked(args);
}

int FakeAdb::countLocked(const std::wstring& args) const {
    int n = 0;
    for (const auto& c : calls_) n += c == args ? 1 : 0;
    return n;
}

bool FakeAdb::waitForCalls(const std::wstring& args, int n, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return called_.wait_for(lock, limit, [&] { return countLocked(args) >= n; });
}

int FakeAdb::countPrefix(const std::wstring& prefix) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& c : calls_) n += c.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return n;
}

void FakeAdb::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    timeouts_.clear();
}

}  // namespace tov::test
