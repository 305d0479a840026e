#include "session/toggle_echoes.h"

#include <algorithm>

namespace tov {

void ToggleEchoes::linkStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    unanswered_.clear();
    answered_ = false;
    startReportSeen_ = false;
    numbering_ = false;
    change_.reset();
}

uint32_t ToggleEchoes::sending(InputToggles toggles) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = toggles;
    change_.reset();
    if (unanswered_.size() >= kMaxUnanswered) unanswered_.pop_front();
    unanswered_.push_back(toggles);
    return ++lastSeq_;
}

ToggleEchoes::Verdict ToggleEchoes::report(std::optional<bool> keyboard, std::optional<bool> mouse,
                                           std::optional<uint32_t> seq) {
    std::lock_guard<std::mutex> lock(mutex_);
    const InputToggles reported{keyboard.value_or(held_.keyboard), mouse.value_or(held_.mouse)};
    // A number the PC never sent is no more use than none.
    if (seq && *seq != 0 && *seq <= lastSeq_) return numbered(reported, *seq);
    return unnumbered(reported);
}

ToggleEchoes::Verdict ToggleEchoes::numbered(const InputToggles& reported, uint32_t seq) {
    numbering_ = true;
    if (seq != lastSeq_) return Verdict::Stale;
    unanswered_.clear();
    answered_ = true;
    return taken(reported);
}

ToggleEchoes::Verdict ToggleEchoes::unnumbered(const InputToggles& reported) {
    // A phone that numbers its reports leaves only its start report without one.
    if (numbering_) return Verdict::Stale;
    const auto answer = std::find(unanswered_.begin(), unanswered_.end(), reported);
    if (answer != unanswered_.end()) {
        unanswered_.erase(unanswered_.begin(), answer + 1);
        answered_ = true;
        return Verdict::Echo;
    }
    if (!startReportSeen_) {
        startReportSeen_ = true;
        return Verdict::Stale;
    }
    if (!answered_ || !unanswered_.empty()) return Verdict::Stale;
    return taken(reported);
}

ToggleEchoes::Verdict ToggleEchoes::taken(const InputToggles& reported) {
    if (reported == held_) return Verdict::Echo;
    held_ = reported;
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
