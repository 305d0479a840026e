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
    if (!generalAside_) {
        writeSettings(path(), model_, extras);
        return;
    }
    PanelModel general = model_;
    applyPhoneSettings(*generalAside_, general);
    writeSettings(path(), general, extras);
}

PhoneSettings SettingsStore::phoneSettings(const std::string& phoneKey) {
    std::lock_guard<std::mutex> hold(lock_);
    return readPhoneSettings(path(), phoneKey, generalSettings());
}

void SettingsStore::keepGeneralAside(const PhoneSettings& general) {
    generalAside_ = general;
}

PhoneSettings SettingsStore::takeGeneralBack() {
    const PhoneSettings general = generalSettings();
    generalAside_.reset();
    return general;
}

PhoneSettings SettingsStore::generalSettings() const {
    return generalAside_ ? *generalAside_ : generalPhoneSettings(model_);
}

void SettingsStore::savePhoneSettings(const std::string& phoneKey, const PhoneSettings& settings) {
    std::lock_guard<std::mutex> hold(lock_);
    writePhoneSettings(path(), phoneKey, settings);
}

}  // namespace tov
