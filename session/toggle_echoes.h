// Which of the phone's input-state reports (stream packet type 13) are changes made on the phone.
// The phone answers the input modes the PC sends (type 12) with its state, reports changes its
// user makes, and once per connection reports how it stood when the connection began, before it
// had heard the PC; that start report may reach the PC before or after its answers. An answer, or
// a report sent before the phone heard the user's latest choice, must not undo that choice.
//
// A report says "keyboard" and "mouse". Every input mode also carries a number, "seq", one higher
// than the one before (from 1, for the life of the program); a phone may tag its later reports
// with the number of the last mode it took, and then the matching is exact:
//   an older number than the last sent, or none once the phone numbers its reports: said before
//     the phone heard the user's latest choice (Stale);
//   the last number and the toggles the phone holds as far as the PC knows: an answer (Echo);
//   the last number and other toggles: changed on the phone after it took the user's (Change).
// A phone that sends no numbers is followed by the order of the connection, which carries its
// reports in the order it made them: a report that matches a mode not yet answered is the answer
// to it (and to every mode before it); the first report of the connection that answers nothing is
// the start report; before the phone has answered this connection's modes, or while later ones are
// on their way, it spoke without knowing the user's choice. Only a later report that differs from
// what the phone holds is a change. (Without numbers, a start report the phone sends only after a
// change made on it cannot be told from a change.)
#pragma once

#include <cstddef>
#include <cstdint>
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
        Echo,    // the phone holds what the PC knows it holds: nothing to do
        Stale,   // said before the phone heard the PC's latest toggles: ignored
        Change,  // a change made on the phone: kept for takeChange()
    };

    // Modes sent and not answered are remembered up to this many; an older one falls out (its
    // answer then counts as stale, which changes nothing).
    static constexpr size_t kMaxUnanswered = 64;

    // A new connection: nothing sent before is answered on it, and it has its own start report.
    void linkStarted();
    // The PC is about to send these toggles; returns the number to send with them. Called before
    // the send, so that the answer finds them. A phone-side change not yet taken is dropped:
    // what the PC sends is the user's choice.
    uint32_t sending(InputToggles toggles);
    // A report from the phone; a missing field stands for the value the phone holds as far as the
    // PC knows, a missing number for a phone that does not number its reports (or for its start
    // report, when it does).
    Verdict report(std::optional<bool> keyboard, std::optional<bool> mouse,
                   std::optional<uint32_t> seq);
    // The phone-side change waiting to be applied, once.
    std::optional<InputToggles> takeChange();

  private:
    Verdict numbered(const InputToggles& reported, uint32_t seq);
    Verdict unnumbered(const InputToggles& reported);
    Verdict taken(const InputToggles& reported);

    std::mutex mutex_;
    uint32_t lastSeq_ = 0;  // 0: nothing sent yet
    InputToggles held_;     // what the phone holds, as far as the PC knows
    std::optional<InputToggles> change_;
    // This connection's.
    std::deque<InputToggles> unanswered_;  // modes sent, oldest first
    bool answered_ = false;                // the phone answered a mode sent on it
    bool startReportSeen_ = false;
    bool numbering_ = false;  // the phone tags its reports with "seq"
};

// The verdict's name for the log.
const char* verdictText(ToggleEchoes::Verdict verdict);

}  // namespace tov
