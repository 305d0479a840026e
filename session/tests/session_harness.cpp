#include "session_harness.h"

#include "core/log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tov::test {

namespace {

struct LogFolder {
    TempDir dir;
    ScopedEnv env{L"LOCALAPPDATA", dir.path()};
    std::wstring file;
    LogFolder() {
        openLog();
        file = programDataFile(L"tovenmar.log");
    }
};

}  // namespace

std::string logText() {
    static LogFolder folder;
    std::string text;
    readFile(folder.file, text);
    return text;
}

SessionHarness::SessionHarness() {
    logText();  // the log exists before the Session writes to it
    config.appPort = phone.port();
    config.noAppPort = phone.port();
}

SessionHarness::~SessionHarness() {
    if (session_) session_->stop(false);
}

Session& SessionHarness::start(bool streaming) {
    session_ = std::make_unique<Session>(callbacks(), link.link(), config);
    if (streaming) session_->setStreaming(true);
    session_->start();
    return *session_;
}

SessionCallbacks SessionHarness::callbacks() {
    SessionCallbacks c;
    c.onLinkState = [this](LinkState s, const std::string&) {
        std::lock_guard<std::mutex> lock(mutex_);
        states_.push_back(s);
    };
    c.onHello = [this](const std::map<std::string, std::string>&) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++hellos_;
    };
    c.onPhoneInfo = [this](const PhoneInfo& info) {
        std::lock_guard<std::mutex> lock(mutex_);
        infos_.push_back(info);
    };
    return c;
}

std::vector<LinkState> SessionHarness::states() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_;
}

LinkState SessionHarness::lastState() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_.empty() ? LinkState::Stopped : states_.back();
}

bool SessionHarness::waitForState(LinkState state, uint32_t ms) const {
    return test::waitFor([&] { return lastState() == state; }, ms);
}

std::vector<PhoneInfo> SessionHarness::phoneInfos() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return infos_;
}

int SessionHarness::hellos() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hellos_;
}

}  // namespace tov::test
