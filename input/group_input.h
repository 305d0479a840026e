// Group control: what the user does in one phone's window goes to every live phone as well, as
// testers drive several devices through the same steps. A point travels as a fraction of each
// phone's screen as it stands, so a phone of another size, or turned the other way, gets the
// same relative point of its own screen.
//
// A gesture or a key press, once begun on a phone, ends on that phone: its moves and its release
// go to every phone that took its start, even after the toggle was turned off, and a phone that
// joins in the middle waits for the next start instead of getting moves it never saw begin.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "input/input_messages.h"

namespace tov {

struct GroupPhone {
    std::string key;
    bool live = false;  // its stream is live and its input helper takes events
};

// Who an event goes to.
struct GroupView {
    std::string source;              // the phone whose window the event was made in
    std::vector<GroupPhone> phones;  // the phones there are, live or not
    bool everyPhone = false;         // "Send my input to every phone"
};

struct PhonePoint {
    std::string key;
    float x = 0;  // fraction of that phone's screen
    float y = 0;
    bool operator==(const PhonePoint&) const = default;
};

class GroupInput {
  public:
    // (x, y) is the point of the source phone's screen, as its own window placed it. The source
    // comes first, as it always gets what its window is given, live or not.
    std::vector<PhonePoint> touch(const GroupView& view, TouchAction action, uint8_t pointer,
                                  float x, float y);
    std::vector<PhonePoint> scroll(const GroupView& view, float x, float y);
    // `keyId` names the key alike in its press and release (an Android key code, or a keyboard
    // usage in Device mode).
    std::vector<std::string> key(const GroupView& view, bool down, int32_t keyId);

  private:
    // Held is (phone, what): pointers and keys as two separate spaces.
    using Held = std::set<std::pair<std::string, int64_t>>;
    std::vector<std::string> recipients(const GroupView& view, bool starts, bool ends,
                                        int64_t what);

    Held held_;
};

}  // namespace tov
