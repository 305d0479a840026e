// The phone handlers: the pinned phone, USB and Wi-Fi preferences, and a change of phone.
#include "app/app.h"

namespace tov {

void App::pinPhone(const std::string& key) {
    std::string name;
    for (const PhoneEntry& phone : phoneMonitor_.phones()) {
        if (phone.key == key) name = phone.name;
    }
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.pinned = key;
        model_.pinnedName = name;
    }
    phoneMonitor_.setPinned(key);
    save();
    refresh();
}

void App::setPreferUsb(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.preferUsb = on;
    }
    phoneMonitor_.setPreferUsb(on);
    save();
    refresh();
}

void App::setWifi(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        model_.wifi = on;
    }
    phoneMonitor_.setWifi(on);
    wifi_.setUseWifi(on);
    save();
    refresh();
}

void App::onPhoneChange() {
    const PhoneChoice choice = phoneMonitor_.choice();
    bool keyChanged;
    std::vector<PhoneStream*> moved;
    {
        std::lock_guard<std::mutex> lock(phoneLock_);
        keyChanged = !choice.key.empty() && choice.key != currentKey_;
        if (!choice.key.empty()) currentKey_ = choice.key;
        // Each stream follows its own phone: only the one whose connection changed starts over.
        for (PhoneStream* phone : allStreams()) {
            const std::string serial = phone->choice().serial;
            if (!phone->serial.empty() && phone->serial != serial) moved.push_back(phone);
            phone->serial = serial;
        }
    }
    for (PhoneStream* phone : moved) phone->reconnect();
    if (keyChanged) save();
    refresh();
}

}  // namespace tov
