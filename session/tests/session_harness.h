// A Session wired to a fake phone link and a fake stream server, with everything it reports kept
// for the test to read.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fake_phone.h"
#include "fake_phone_link.h"
#include "session/session.h"

namespace tov::test {

// The process's log, in a folder of its own; opened once for the whole test program.
std::string logText();

class SessionHarness {
  public:
    FakePhone phone;
    FakePhoneLink link;
    SessionConfig config;

    SessionHarness();
    ~SessionHarness();

    // With `streaming` the first pass already wants a stream.
    Session& start(bool streaming = false);
    Session& session() { return *session_; }

    std::vector<LinkState> states() const;
    LinkState lastState() const;
    bool waitForState(LinkState state, uint32_t ms = 15000) const;
    std::vector<PhoneInfo> phoneInfos() const;
    int hellos() const;

  private:
    SessionCallbacks callbacks();

    mutable std::mutex mutex_;
    std::vector<LinkState> states_;
    std::vector<PhoneInfo> infos_;
    int hellos_ = 0;
    std::unique_ptr<Session> session_;
};

}  // namespace tov::test
