// Which of the phone's input-state reports (stream packet type 13) are its own changes. The phone
// answers every input mode packet (type 12) with its state, and once per connection it reports
// its state as it stood when the connection began, before it had heard the PC; that report may
// reach the PC before or after the phone's answers. A report that echoes toggles the PC sent,
// that first report, or one the phone sent before it heard the PC's latest toggles says nothing
// new: the user's choice stands. Only a later report that comes after the phone acknowledged
// everything the PC sent, and that differs from it, is a change made on the phone.
//
// The tracker relies on the stream being one ordered connection each way: the phone's answer to
// a toggle comes after everything it sent before it read that toggle.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace tov {

struct InputToggles {
    bool keyboard = true;
    bool mouse = true;
    bool operator==(const InputToggles&) const = default;
};

class ToggleEchoes {
  public:
    enum class Verdict {
        Echo,    // the phone holds toggles the PC sent (or already reported): nothing to do
        Stale,   // sent before the phone heard the PC's latest toggles: ignored
        Change,  // a change made on the phone: kept for takeChange()
    };

    // Toggles the PC sent and the phone has not acknowledged are remembered up to this many; an
    // older one falls out (its echo then counts as stale, which changes nothing).
    static constexpr size_t kMaxUnacknowledged = 64;

    // A new connection: nothing sent before can be echoed on it, its first report that echoes
    // nothing is the phone's state from before it heard the PC, and its reports are stale until
    // the phone has echoed toggles sent from now on.
    void linkStarted();
    // The PC is about to send these toggles; called before the send, so that the echo finds them.
    // A phone-side change not yet taken is dropped: what the PC sends is the user's choice.
    void sending(InputToggles toggles);
    // A report from the phone; a missing field stands for the value last sent or reported.
    Verdict report(std::optional<bool> keyboard, std::optional<bool> mouse);
    // The phone-side change waiting to be applied, once.
    std::optional<InputToggles> takeChange();

  private:
    std::mutex mutex_;
    std::deque<InputToggles> unacknowledged_;
    bool acknowledged_ = false;     // the phone echoed toggles sent on this connection
    bool firstReportSeen_ = false;  // the phone's own report of how it stood at the start
    InputToggles last_;             // what the phone holds, as far as the PC knows
    std::optional<InputToggles> change_;
};

// The verdict's name for the log.
const char* verdictText(ToggleEchoes::Verdict verdict);

}  // namespace tov
