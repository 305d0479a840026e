#include "core/settings_store.h"

namespace tov {

SettingsStore::SettingsStore(std::mutex& modelLock, PanelModel& model, std::string& seenVersion)
    : lock_(modelLock), model_(model), seenVersion_(seenVersion) {}

std::wstring SettingsStore::path() const {
    return pathProvider ? pathProvider() : settingsPath();
}

void SettingsStore::load() {
    SettingsExtras extras;
    {
        std::lock_guard<std::mutex> hold(lock_);
        readSettings(path(), model_, extras);
        seenVersion_ = extras.seenVersion;
    }
    if (onLastPhoneLoaded) onLastPhoneLoaded(extras.lastPhone);
}

void SettingsStore::save() {
    SettingsExtras extras;
    if (lastPhone) extras.lastPhone = lastPhone();
    std::lock_guard<std::mutex> hold(lock_);
    extras.seenVersion = seenVersion_;
    writeSettings(path(), model_, extras);
}

PhoneSettings SettingsStore::phoneSettings(const std::string& phoneKey) {
    std::lock_guard<std::mutex> hold(lock_);
    return readPhoneSettings(path(), phoneKey, generalPhoneSettings(model_));
}

void SettingsStore::savePhoneSettings(const std::string& phoneKey, const PhoneSettings& settings) {
    std::lock_guard<std::mutex> hold(lock_);
    writePhoneSettings(path(), phoneKey, settings);
}

}  // namespace tov
