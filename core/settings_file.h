// settings.ini: the user's choices kept between runs. These functions only read and write the
// file; SettingsStore adds the model lock and the phone monitor's part.
#pragma once

#include <string>

#include "core/panel_model.h"

namespace tov {

// %LOCALAPPDATA%\Tovenmar\settings.ini, creating the folder; empty when the program keeps no
// files (then every read gives its default and nothing is written).
std::wstring settingsPath();

// Values of the file that live outside the model.
struct SettingsExtras {
    std::string seenVersion;  // [update] seen
    std::string lastPhone;    // [phone] last, the phone monitor's last choice
};

// Fills the model's saved fields from the file, with the defaults for what is missing and every
// number brought into its range.
void readSettings(const std::wstring& path, PanelModel& model, SettingsExtras& extras);

// Writes every saved field, one key at a time, dropping the older [input] mode key and the
// retired [game] section.
void writeSettings(const std::wstring& path, const PanelModel& model, const SettingsExtras& extras);

}  // namespace tov
