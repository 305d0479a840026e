#include "session/toggle_echoes.h"

namespace tov {

uint32_t ToggleEchoes::sending(InputToggles toggles) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = toggles;
    change_.reset();
    return ++lastSeq_;
}

ToggleEchoes::Verdict ToggleEchoes::report(std::optional<bool> keyboard, std::optional<bool> mouse,
                                           std::optional<uint32_t> seq) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A number the PC never sent is no more use than none.
    if (!seq || *seq == 0 || *seq != lastSeq_) return Verdict::Stale;
    const InputToggles reported{keyboard.value_or(held_.keyboard), mouse.value_or(held_.mouse)};
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
