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
    bool serialChanged, keyChanged;
    {
        std::lock_guard<std::mutex> lock(phoneLock_);
        serialChanged = !currentSerial_.empty() && currentSerial_ != choice.serial;
        keyChanged = !choice.key.empty() && choice.key != currentKey_;
        currentSerial_ = choice.serial;
        if (!choice.key.empty()) currentKey_ = choice.key;
    }
    if (serialChanged) {
        session_.reconnect();
        inputLink_.restart();
    }
    if (keyChanged) save();
    refresh();
}

}  // namespace tov
