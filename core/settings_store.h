// Loads settings.ini into the App's model and writes it back, under the model lock. The phone
// monitor's part (the last phone) crosses only through callbacks, which are never called while
// the lock is held.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "core/panel_model.h"
#include "core/phone_settings.h"
#include "core/settings_file.h"

namespace tov {

class SettingsStore {
  public:
    // `seenVersion` is the App's own copy of [update] seen; like the model, the lock guards it.
    SettingsStore(std::mutex& modelLock, PanelModel& model, std::string& seenVersion);

    // Handed the saved last phone after a load (the phone monitor's setLast).
    std::function<void(const std::string&)> onLastPhoneLoaded;
    // The phone monitor's current last phone, asked before each save.
    std::function<std::string()> lastPhone;
    // Where the file is; settingsPath() when not set. Tests point it elsewhere.
    std::function<std::wstring()> pathProvider;

    void load();
    // The caller must not hold the model lock.
    void save();

    // A phone's own settings by its key; a phone the file does not know gets the general ones
    // of the model. The caller must not hold the model lock.
    PhoneSettings phoneSettings(const std::string& phoneKey);
    // Keeps them under the phone's key (nothing for an empty key). The caller must not hold the
    // model lock.
    void savePhoneSettings(const std::string& phoneKey, const PhoneSettings& settings);

    // While the pages show a phone with settings of its own, the model holds that phone's; the
    // general ones (the chosen phone's) are kept aside here, and save() writes those. The caller
    // holds the model lock for each, so that the model and what is aside change together.
    void keepGeneralAside(const PhoneSettings& general);
    // The general settings kept aside, given back (and no longer kept); the model's own when
    // none are aside.
    PhoneSettings takeGeneralBack();
    // The general settings, wherever they are now.
    PhoneSettings generalSettings() const;

  private:
    std::wstring path() const;

    std::mutex& lock_;
    PanelModel& model_;
    std::string& seenVersion_;
    std::optional<PhoneSettings> generalAside_;
};

}  // namespace tov
