#include "phone/phone_choice.h"

#include <map>

namespace tov {
namespace {

struct Connections {
    const ReadyConnection* usb = nullptr;
    const ReadyConnection* wifi = nullptr;
    bool available() const { return usb || wifi; }
};

}  // namespace

ChoiceResult choosePhone(const std::vector<ReadyConnection>& ready, bool sawUnauthorized,
                         const ChoiceInputs& inputs, const PhoneChoice& previous) {
    ChoiceResult result;
    result.last = inputs.last;

    // The list in the order of each phone's first connection; the first connection listed per
    // transport is the one used.
    std::map<std::string, Connections> byKey;
    for (const ReadyConnection& c : ready) {
        PhoneEntry* phone = nullptr;
        for (PhoneEntry& p : result.phones) {
            if (p.key == c.key) phone = &p;
        }
        if (!phone) {
            result.phones.push_back(PhoneEntry{c.key, c.name, false, false});
            phone = &result.phones.back();
        }
        (c.wifi ? phone->wifi : phone->usb) = true;
        const ReadyConnection*& slot = c.wifi ? byKey[c.key].wifi : byKey[c.key].usb;
        if (!slot) slot = &c;
    }
    if (!inputs.useWifi) {
        for (auto& [key, connections] : byKey) connections.wifi = nullptr;
    }
    auto available = [&](const std::string& key) {
        const auto it = byKey.find(key);
        return !key.empty() && it != byKey.end() && it->second.available();
    };

    std::string key;
    if (!inputs.pinned.empty()) {
        // A pinned phone is never replaced by another one.
        if (available(inputs.pinned)) key = inputs.pinned;
    } else if (available(previous.key)) {
        key = previous.key;
    } else if (available(inputs.last)) {
        key = inputs.last;
    } else {
        for (const PhoneEntry& p : result.phones) {
            if (available(p.key)) {
                key = p.key;
                break;
            }
        }
    }

    PhoneChoice& choice = result.choice;
    if (!key.empty()) {
        const Connections& c = byKey[key];
        const ReadyConnection* chosen = nullptr;
        const bool previousStillThere = key == previous.key && !previous.serial.empty() &&
                                        ((c.usb && c.usb->serial == previous.serial) ||
                                         (c.wifi && c.wifi->serial == previous.serial));
        if (previousStillThere) {
            chosen = c.usb && c.usb->serial == previous.serial ? c.usb : c.wifi;
            // The cable counts once it has been listed in two polls in a row.
            const bool usbStable = c.usb && c.usb->polls >= 2;
            if (inputs.preferUsb && chosen->wifi && usbStable) chosen = c.usb;
        } else {
            chosen = c.usb ? c.usb : c.wifi;
        }
        choice.serial = chosen->serial;
        choice.key = key;
        choice.name = chosen->name;
        choice.wifi = chosen->wifi;
        result.last = key;
    }
    choice.unauthorized = choice.serial.empty() && sawUnauthorized;
    for (const PhoneEntry& p : result.phones) {
        if (p.key == choice.key) {
            result.connections.push_back(choice);
        } else if (available(p.key)) {
            const Connections& c = byKey[p.key];
            const ReadyConnection* used = c.usb ? c.usb : c.wifi;
            result.connections.push_back(PhoneChoice{used->serial, p.key, used->name, used->wifi});
        }
    }
    return result;
}

bool samePhones(const std::vector<PhoneEntry>& a, const std::vector<PhoneEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].key != b[i].key || a[i].name != b[i].name || a[i].usb != b[i].usb ||
            a[i].wifi != b[i].wifi) {
            return false;
        }
    }
    return true;
}

}  // namespace tov
