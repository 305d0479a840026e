// Which of the phone's input-state reports (stream packet type 13) are changes made on the phone.
// Every input mode the PC sends (type 12) carries a number, "seq", one higher than the one before
// (from 1, for the life of the program); the phone takes the toggles and tags each report it
// sends afterwards, its answer and any change of its own, with the number of the last input mode
// it took. Its report of how it stood when the connection began, sent before it took any, has no
// number. So a report says which of the user's choices the phone had heard when it spoke,
// wherever it falls among the others:
//   no number, or an older one than the last sent: the phone spoke before it heard the user's
//     latest choice, and takes that choice when it reads it; the choice stands (Stale);
//   the last number and the toggles the phone holds as far as the PC knows: an answer (Echo);
//   the last number and other toggles: changed on the phone after it took the user's (Change).
#pragma once

#include <cstdint>
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

    // The PC is about to send these toggles; returns the number to send with them. Called before
    // the send, so that the answer finds them. A phone-side change not yet taken is dropped:
    // what the PC sends is the user's choice.
    uint32_t sending(InputToggles toggles);
    // A report from the phone; a missing field stands for the value the phone holds as far as the
    // PC knows, a missing number for a report made before the phone took any toggles.
    Verdict report(std::optional<bool> keyboard, std::optional<bool> mouse,
                   std::optional<uint32_t> seq);
    // The phone-side change waiting to be applied, once.
    std::optional<InputToggles> takeChange();

  private:
    std::mutex mutex_;
    uint32_t lastSeq_ = 0;  // 0: nothing sent yet
    InputToggles held_;     // what the phone holds, as far as the PC knows
    std::optional<InputToggles> change_;
};

// The verdict's name for the log.
const char* verdictText(ToggleEchoes::Verdict verdict);

}  // namespace tov
