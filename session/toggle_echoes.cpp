#include "session/toggle_echoes.h"

#include <algorithm>

namespace tov {

void ToggleEchoes::linkStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    unacknowledged_.clear();
    acknowledged_ = false;
    firstReportSeen_ = false;
    change_.reset();
}

void ToggleEchoes::sending(InputToggles toggles) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unacknowledged_.size() >= kMaxUnacknowledged) unacknowledged_.pop_front();
    unacknowledged_.push_back(toggles);
    last_ = toggles;
    change_.reset();
}

ToggleEchoes::Verdict ToggleEchoes::report(std::optional<bool> keyboard,
                                           std::optional<bool> mouse) {
    std::lock_guard<std::mutex> lock(mutex_);
    const InputToggles reported{keyboard.value_or(last_.keyboard), mouse.value_or(last_.mouse)};
    // The oldest unacknowledged send it matches: the phone has read that one and everything
    // before it.
    const auto echoed = std::find(unacknowledged_.begin(), unacknowledged_.end(), reported);
    if (echoed != unacknowledged_.end()) {
        unacknowledged_.erase(unacknowledged_.begin(), echoed + 1);
        acknowledged_ = true;
        return Verdict::Echo;
    }
    // The phone's report of how it stood when the connection began, whenever it arrives; before
    // the phone acknowledged the toggles of this connection, or while later ones are on their
    // way, the phone spoke without knowing the user's choice.
    if (!firstReportSeen_) {
        firstReportSeen_ = true;
        return Verdict::Stale;
    }
    if (!acknowledged_ || !unacknowledged_.empty()) return Verdict::Stale;
    if (reported == last_) return Verdict::Echo;  // a repeat of what the phone holds
    last_ = reported;
    change_ = reported;
    return Verdict::Change;
}

std::optional<InputToggles> ToggleEchoes::takeChange() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<InputToggles> change = change_;
    change_.reset();
    return change;
}

const char* verdictText(ToggleEchoes::Verdict verdict) {
    switch (verdict) {
        case ToggleEchoes::Verdict::Echo:
            return "echo";
        case ToggleEchoes::Verdict::Stale:
            return "stale";
        case ToggleEchoes::Verdict::Change:
            return "change";
    }
    return "?";
}

}  // namespace tov
