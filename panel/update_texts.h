// The words of the Settings page's phone and update rows.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "core/panel_model.h"

namespace tov::panel {

// The second line of a phone in the Phone list.
std::wstring phoneConnectionText(const PhoneEntry& phone, bool wifiAllowed);
// The help under the Phone row.
std::wstring phoneHelp(const PanelModel& m);

// The text for the updater's status; `checked` and `now` are local times, `checked` only used
// in states 4 and 5 when the check time is known.
std::wstring updateStatusText(const PanelModel& m, const std::tm* checked, const std::tm& now);
// The same, converting the status time and the clock to local time.
std::wstring updateStatusText(const PanelModel& m);

// " Checked today at 14:05." or " Checked on 3 Dec at 09:41.", at most 64 characters.
std::wstring checkedSuffix(const std::tm& checked, const std::tm& now);

}  // namespace tov::panel
