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
// The same at `nowSeconds` (seconds since 1970), converting it and the status time to local
// time. `changesIn` gets the seconds until the text changes by itself as the clock runs (when
// "today" is over), or 0 when it does not.
std::wstring updateStatusText(const PanelModel& m, int64_t nowSeconds, int64_t* changesIn);

// " Checked today at 14:05." or " Checked on 3 Dec at 09:41.", at most 64 characters.
std::wstring checkedSuffix(const std::tm& checked, const std::tm& now);

}  // namespace tov::panel
