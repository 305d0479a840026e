// Which phone, and which of its connections, the program talks to. Pure rules over one poll's
// connections, so that every case can be played without adb.
#pragma once

#include <string>
#include <vector>

#include "core/panel_model.h"

namespace tov {

// The chosen connection. An empty serial means nothing is chosen.
struct PhoneChoice {
    std::string serial;
    std::string key;
    std::string name;
    bool wifi = false;
    bool adbMissing = false;
    bool unauthorized = false;  // nothing chosen while an attached device awaits permission
};

// The user's wishes, from the settings.
struct ChoiceInputs {
    std::string pinned;
    std::string last;
    bool preferUsb = true;
    bool useWifi = false;
};

// One ready connection of this poll, in adb's order, with what the identity cache knows of it.
struct ReadyConnection {
    std::string serial;
    std::string key;
    std::string name;
    bool wifi = false;
    int polls = 0;  // consecutive polls in which the serial was listed ready, this one included
};

struct ChoiceResult {
    PhoneChoice choice;
    std::vector<PhoneEntry> phones;
    std::string last;  // the inputs' last, replaced by the chosen key when there is one
    // The connection each listed phone is reached by, for streams kept for a phone by its key:
    // the chosen phone's is the choice; another's is its cable, else its Wi-Fi when in use.
    std::vector<PhoneChoice> connections;
};

ChoiceResult choosePhone(const std::vector<ReadyConnection>& ready, bool sawUnauthorized,
                         const ChoiceInputs& inputs, const PhoneChoice& previous);

bool samePhones(const std::vector<PhoneEntry>& a, const std::vector<PhoneEntry>& b);

}  // namespace tov
