#include "fake_phone_link.h"

#include "platform/text.h"

namespace tov::test {

SessionPhoneLink FakePhoneLink::link() {
    SessionPhoneLink link;
    link.findAdb = [this] {
        std::lock_guard<std::mutex> l(mutex_);
        return adbPath;
    };
    link.choice = [this] {
        std::lock_guard<std::mutex> l(mutex_);
        return choice;
    };
    link.runAdb = [this](const std::wstring&, const std::wstring& args, std::string* output,
                         uint32_t) {
        record(narrow(args));
        std::lock_guard<std::mutex> l(mutex_);
        const bool forward = args.find(L" forward ") != std::wstring::npos;
        if (forward && output) *output = forwardAnswer;
        return !(forwardFails && forward) &&
               !(launchFails && args.find(L" am start ") != std::wstring::npos);
    };
    std::optional<bool> current;
    {
        std::lock_guard<std::mutex> l(mutex_);
        current = appCurrent;
    }
    if (current) {
        link.appIsCurrent = [this](const std::wstring&, const std::wstring& prefix) {
            record("appIsCurrent " + narrow(prefix));
            std::lock_guard<std::mutex> l(mutex_);
            return appCurrent.value_or(false);
        };
    }
    link.ensureApp = [this](const std::wstring&, const std::wstring& prefix,
                            const SessionPhoneLink::Progress& progress) {
        record("ensureApp " + narrow(prefix));
        SessionInstallOutcome outcome;
        {
            std::lock_guard<std::mutex> l(mutex_);
            outcome = ensureOutcome;
        }
        if (outcome.kind == 1 && progress)
            progress("Installing Tovenmar on your phone\xE2\x80\xA6");
        return outcome;
    };
    link.reinstallApp = [this](const std::wstring&, const std::wstring& prefix) {
        record("reinstallApp " + narrow(prefix));
        std::lock_guard<std::mutex> l(mutex_);
        return reinstallOutcome;
    };
    link.probePhoneInfo = [this](const std::wstring&, const std::wstring& prefix) {
        record("probe " + narrow(prefix));
        PhoneInfo info;
        info.known = true;
        std::lock_guard<std::mutex> l(mutex_);
        info.device = choice.name;
        return info;
    };
    return link;
}

void FakePhoneLink::record(const std::string& call) {
    std::lock_guard<std::mutex> l(mutex_);
    calls_.push_back(call);
}

std::vector<std::string> FakePhoneLink::calls() const {
    std::lock_guard<std::mutex> l(mutex_);
    return calls_;
}

int FakePhoneLink::count(const std::string& prefix) const {
    std::lock_guard<std::mutex> l(mutex_);
    int n = 0;
    for (const std::string& c : calls_) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

void FakePhoneLink::attach(const std::string& serial, const std::string& key,
                           const std::string& name) {
    std::lock_guard<std::mutex> l(mutex_);
    choice = SessionPhoneChoice{serial, key, name, false, false};
}

void FakePhoneLink::detach() {
    std::lock_guard<std::mutex> l(mutex_);
    choice = SessionPhoneChoice{};
}

}  // namespace tov::test
