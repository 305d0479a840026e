#include "phone/tests/fake_adb.h"

#include <cstdio>
#include <deque>

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

struct FakeFeed::State {
    struct Child {
        std::deque<std::string> output;  // what it has yet to hand over
        bool ended = false;
        bool stopped = false;
        int exitCode = -1;
    };
    std::mutex mutex;
    std::condition_variable changed;
    bool refused = false;
    int stopped = 0;
    std::vector<std::shared_ptr<Child>> children;
};

namespace {

class FakeFeedChild final : public ReadableChild {
  public:
    using State = FakeFeed::State;
    FakeFeedChild(std::shared_ptr<State> state, std::shared_ptr<State::Child> child)
        : state_(std::move(state)), child_(std::move(child)) {}
    ~FakeFeedChild() override { stop(); }
    bool read(std::string& out) override {
        std::unique_lock lock(state_->mutex);
        state_->changed.wait(
            lock, [&] { return child_->stopped || child_->ended || !child_->output.empty(); });
        if (child_->stopped || child_->output.empty()) return false;
        out += child_->output.front();
        child_->output.pop_front();
        return true;
    }
    void stop() override {
        {
            std::lock_guard lock(state_->mutex);
            if (child_->stopped || child_->ended) return;
            child_->stopped = true;
            ++state_->stopped;
        }
        state_->changed.notify_all();
    }
    int exitCode() override {
        std::lock_guard lock(state_->mutex);
        return child_->ended && !child_->stopped ? child_->exitCode : -1;
    }

  private:
    std::shared_ptr<State> state_;
    std::shared_ptr<State::Child> child_;
};

}  // namespace

FakeFeed::FakeFeed() : state_(std::make_shared<State>()) {}

DeviceFeed::StartFunction FakeFeed::starter() {
    std::shared_ptr<State> state = state_;
    return
        [state](const std::wstring&, const std::wstring& args) -> std::unique_ptr<ReadableChild> {
            std::shared_ptr<State::Child> child;
            {
                std::lock_guard lock(state->mutex);
                if (state->refused || args != DeviceFeed::kArgs) return nullptr;
                child = std::make_shared<State::Child>();
                state->children.push_back(child);
            }
            state->changed.notify_all();
            return std::make_unique<FakeFeedChild>(state, child);
        };
}

void FakeFeed::refuse(bool on) {
    std::lock_guard lock(state_->mutex);
    state_->refused = on;
}

void FakeFeed::write(const std::string& bytes) {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->children.empty()) state_->children.back()->output.push_back(bytes);
    }
    state_->changed.notify_all();
}

void FakeFeed::end(int exitCode) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->children.empty()) return;
        State::Child& child = *state_->children.back();
        child.ended = true;
        child.exitCode = exitCode;
    }
    state_->changed.notify_all();
}

std::string FakeFeed::list(std::initializer_list<std::pair<const char*, const char*>> devices) {
    std::string lines;
    for (const auto& [serial, state] : devices) {
        lines += std::string(serial) + "\t" + state + " transport_id:1\n";
    }
    char length[8];
    std::snprintf(length, sizeof length, "%04zx", lines.size());
    return length + lines;
}

bool FakeFeed::waitForStarts(int n, std::chrono::milliseconds limit) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit,
                                    [&] { return static_cast<int>(state_->children.size()) >= n; });
}

int FakeFeed::stopped() const {
    std::lock_guard lock(state_->mutex);
    return state_->stopped;
}

}  // namespace tov::test
