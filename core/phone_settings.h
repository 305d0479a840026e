// The settings that belong to one phone, kept in settings.ini in a section of that phone's own,
// named from its key:
//   [phone.R58M123ABC]
//   key=R58M123ABC     the key made safe, as in the section's name, compared exactly
//   preset=sharp
//   codec=auto
//   bitrate=40000000
//   encoder=
//   device=0           Device mode
//   placed=1           the user moved or sized the phone's window; then its place:
//   x=40
//   y=60
//   width=540
//   height=1170
// Phone keys come from the phone and may hold any character: every byte outside letters, digits
// and "-.:" is written as "_" and two hex digits, so no key can end the section's header or
// pose as another section. Section names match in any case: a second phone whose key differs
// from another's only in case takes "[phone.abc~2]".
#pragma once

#include <cstdint>
#include <string>

#include "core/panel_model.h"

namespace tov {

// Where the user put a phone's window, in screen pixels; nothing while not placed.
struct WindowPlace {
    bool placed = false;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const WindowPlace&) const = default;
};

struct PhoneSettings {
    std::string preset = "sharp";
    std::string codecChoice = "auto";
    int32_t bitrate = 40000000;
    // The phone's own encoder names: another phone's would mean nothing to it.
    std::string encoder;
    bool deviceMode = false;
    WindowPlace window;

    bool operator==(const PhoneSettings&) const = default;
};

// The general settings ([stream] and [input] of the model) that a phone seen for the first time
// starts from.
PhoneSettings generalPhoneSettings(const PanelModel& model);
// Puts a phone's settings into the model's fields (its window place is not in the model).
void applyPhoneSettings(const PhoneSettings& settings, PanelModel& model);

// "phone." and the key made safe for a section name.
std::wstring phoneSectionName(const std::string& phoneKey);

// The phone's settings from its section; `defaults` for whatever the file does not hold, and all
// of them when the file does not know the phone (then `known`, when given, is set false).
PhoneSettings readPhoneSettings(const std::wstring& path, const std::string& phoneKey,
                                const PhoneSettings& defaults, bool* known = nullptr);
// Writes the phone's whole section afresh. An empty key keeps nothing, and neither does a key
// whose name 16 other phones share.
void writePhoneSettings(const std::wstring& path, const std::string& phoneKey,
                        const PhoneSettings& settings);

}  // namespace tov
