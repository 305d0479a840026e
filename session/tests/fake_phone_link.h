// Stand-ins for the phone link operations the Session calls: a scripted phone choice and
// installer, and a record of every adb command.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "session/session_phone_link.h"

namespace tov::test {

class FakePhoneLink {
  public:
    // Change under lock() from the test thread.
    std::mutex& lock() { return mutex_; }
    std::wstring adbPath = L"adb";
    SessionPhoneChoice choice;
    SessionInstallOutcome ensureOutcome;
    SessionInstallOutcome reinstallOutcome{1, "Installed Tovenmar on your phone."};
    bool forwardFails = false;
    // What adb prints for a forward (the port it chose for "tcp:0").
    std::string forwardAnswer;
    bool launchFails = false;
    // Set: the link answers the read-only app check with it ("appIsCurrent <prefix>").
    std::optional<bool> appCurrent;

    // Wires the Session to this object.
    SessionPhoneLink link();

    // Every call, in order: adb arguments as run, or "ensureApp <prefix>", "reinstallApp <prefix>",
    // "probe <prefix>".
    std::vector<std::string> calls() const;
    int count(const std::string& prefix) const;
    void attach(const std::string& serial, const std::string& key, const std::string& name);
    void detach();

  private:
    void record(const std::string& call);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace tov::test
